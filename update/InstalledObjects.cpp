#include "update/InstalledObjects.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QStringList>

namespace update {

namespace {

// The lines of a text with blanks and line ends around them gone, empty lines dropped.
QStringList meaningfulLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines;
}

bool isAsLine(const QString& line)
{
    return line.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0;
}

// What the engine keeps of an object's text: what follows the header's "AS" line (a trigger's
// stored source starts with that line, a procedure's after it).
QStringList body(const QStringList& lines)
{
    for (int index = 0; index < lines.size(); ++index)
        if (isAsLine(lines.at(index)))
            return lines.mid(index + 1);
    return lines;
}

QString quotedName(const ServerObject& object)
{
    return QLatin1Char('\'') + object.name.toUpper() + QLatin1Char('\'');
}

} // namespace

ObjectState installedState(db::Connection& connection, const ServerObject& object, const ServerScript& script)
{
    const QString sql = object.trigger
        ? QStringLiteral("select RDB$VALID_BLR, RDB$TRIGGER_INACTIVE, RDB$TRIGGER_SOURCE from RDB$TRIGGERS "
                         "where RDB$TRIGGER_NAME = %1")
              .arg(quotedName(object))
        : QStringLiteral("select RDB$VALID_BLR, 0, RDB$PROCEDURE_SOURCE from RDB$PROCEDURES "
                         "where RDB$PROCEDURE_NAME = %1")
              .arg(quotedName(object));
    const db::ResultSet row = connection.select(sql.toStdString());
    if (row.eof())
        return ObjectState::Missing;
    if (row.text(0) != "1")
        return ObjectState::Invalid;
    if (row.text(1) != "0")
        return ObjectState::Inactive;
    QStringList stored = meaningfulLines(QString::fromStdString(row.text(2)));
    if (!stored.isEmpty() && isAsLine(stored.first()))
        stored.removeFirst();
    const QStringList shipped = body(meaningfulLines(script.statement()));
    return !row.isNull(2) && stored == shipped ? ObjectState::Current : ObjectState::OtherVersion;
}

QString stateWord(ObjectState state)
{
    switch (state) {
    case ObjectState::Current:
        return QStringLiteral("aktualni");
    case ObjectState::Missing:
        return QStringLiteral("chybi");
    case ObjectState::Invalid:
        return QStringLiteral("neplatny");
    case ObjectState::Inactive:
        return QStringLiteral("neaktivni");
    case ObjectState::OtherVersion:
        break;
    }
    return QStringLiteral("jina verze");
}

} // namespace update
