#include "CommandFixture.h"

#include "RowDump.h"
#include "RunLogEntries.h"

#include "db/ResultSet.h"
#include "update/ServerScripts.h"

namespace testsupport {

CommandTest::CommandTest(HotelData data)
    : database(data), session(QString::fromStdString(database.directory().string()))
{
    session.applySettings({QString::fromStdString(database.path()), QStringLiteral("SYSDBA"), QStringLiteral("m")});
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
}

bool CommandTest::installServerObjects()
{
    bool installed = true;
    for (const update::ServerScript& script : update::ServerScripts())
        installed = session.runner().ExecSql(script.statement()) && installed;
    return installed;
}

QStringList CommandTest::entries() const
{
    return runLogEntries(session.log().filePath());
}

QStringList CommandTest::entriesStartingWith(const QString& start) const
{
    QStringList found;
    for (const QString& entry : entries())
        if (entry.startsWith(start))
            found.append(entry);
    return found;
}

std::string CommandTest::dump(const std::string& sql)
{
    return dumpRows(connection, sql);
}

std::string CommandTest::value(const std::string& sql)
{
    return connection.select(sql).text(0);
}

} // namespace testsupport
