#include "update/safety/MarkedCopy.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "update/Settings.h"
#include "update/safety/RehearsalRestore.h"

#include <QUuid>

#include <exception>

namespace update {

QString newCopyMark()
{
    return QStringLiteral("dph2012 zkouska ") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool carriesMark(db::Connection& connection, const QString& mark)
{
    if (mark.isEmpty())
        return false;
    try {
        const db::ResultSet description = connection.select("select RDB$DESCRIPTION from RDB$DATABASE");
        return QString::fromStdString(description.text(0)).trimmed() == mark;
    } catch (const std::exception&) {
        return false;
    }
}

bool dropMarkedCopy(const ConnectionSettings& production, const QString& path, const QString& mark,
                    const StopProbe& stop)
{
    db::Connection connection;
    applyTo(connection, copySettings(production, path));
    connection.setInterruption([&stop] { return stop() != 0; });
    if (!carriesMark(connection, mark))
        return false;
    try {
        connection.dropDatabase();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace update
