#include "ScriptDatabase.h"

#include "RowDump.h"
#include "update/ServerScripts.h"

#include <QDateTime>
#include <QFile>

namespace testsupport {

ScriptDatabase::ScriptDatabase(HotelData data)
    : database(data),
      log(QString::fromStdString(database.directory().string()),
          [] { return QDateTime(QDate(2011, 12, 31), QTime(18, 0)); })
{
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
    connection.setPassword("m");
}

bool ScriptDatabase::install(int count)
{
    const auto scripts = update::ServerScripts();
    bool allInstalled = true;
    for (int i = 0; i < count && i < scripts.size(); ++i)
        allInstalled = runner.ExecSql(scripts[i].statement()) && allInstalled;
    return allInstalled;
}

void ScriptDatabase::exec(const std::string& sql)
{
    connection.execute(sql);
}

db::ResultSet ScriptDatabase::rows(const std::string& sql)
{
    return connection.select(sql);
}

std::string ScriptDatabase::value(const std::string& sql)
{
    const db::ResultSet result = connection.select(sql);
    return result.text(0);
}

double ScriptDatabase::number(const std::string& sql)
{
    const std::string text = value(sql);
    EXPECT_FALSE(text.empty()) << sql;
    return text.empty() ? 0.0 : std::stod(text);
}

std::int64_t ScriptDatabase::integer(const std::string& sql)
{
    return connection.select(sql).integer(0);
}

std::string ScriptDatabase::dump(const std::string& sql)
{
    return dumpRows(connection, sql);
}

QString ScriptDatabase::logText() const
{
    QFile file(log.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

} // namespace testsupport
