#include "update/StayOptionRecord.h"

#include "update/safety/OwnFile.h"

#include <QDir>
#include <QList>

namespace update {

namespace {

// One line per database: the option's letter, a tab, the database as DPH.ini names it.
struct Line {
    char letter;
    QByteArray database;
};

QList<Line> lines(const std::optional<QByteArray>& content)
{
    QList<Line> read;
    if (!content)
        return read;
    for (const QByteArray& line : content->split('\n'))
        if (line.size() > 2 && line[0] >= 'b' && line[0] <= 'd' && line[1] == '\t')
            read.append({line[0], line.mid(2)});
    return read;
}

} // namespace

StayOptionRecord::StayOptionRecord(const QString& programDir)
    : filePath_(QDir(programDir).filePath(kStayOptionFileName))
{
}

QString StayOptionRecord::note(const QString& database, int option) const
{
    if (option < 1 || option > 3 || database.contains(QLatin1Char('\n')) || database.contains(QLatin1Char('\r')))
        return QStringLiteral("%1: volbu nelze zaznamenat").arg(filePath_);
    const QByteArray name = database.toUtf8();
    QByteArray content;
    for (const Line& line : lines(readOwnFile(filePath_)))
        if (line.database != name)
            content += line.letter + QByteArray("\t") + line.database + '\n';
    content += static_cast<char>('a' + option) + QByteArray("\t") + name + '\n';
    const QString failure = replaceOwnFile(filePath_, content);
    return failure.isEmpty() ? failure : filePath_ + QStringLiteral(": ") + failure;
}

std::optional<int> StayOptionRecord::noted(const QString& database) const
{
    const QByteArray name = database.toUtf8();
    for (const Line& line : lines(readOwnFile(filePath_)))
        if (line.database == name)
            return line.letter - 'a';
    return std::nullopt;
}

} // namespace update
