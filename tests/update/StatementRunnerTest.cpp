// The statement runner's log entries and results on a real database.

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/Query.h"
#include "db/ResultSet.h"
#include "update/RunLog.h"
#include "update/StatementRunner.h"

#include "FreshDatabase.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

class StatementRunnerTest : public ::testing::Test {
protected:
    StatementRunnerTest()
    {
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }

    // The log's entries with the fixed timestamp taken off.
    QStringList entries() const
    {
        QFile file(log.filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(file.readAll()).split("\r\n");
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (QString& line : lines)
            if (line.startsWith(kStamp))
                line.remove(0, kStamp.size());
        return lines;
    }

    const QString kStamp = QStringLiteral("31.12.11 18:00:00 | ");
    testsupport::FreshDatabase database;
    db::Connection connection;
    db::Query Q{connection};
    update::RunLog log{QString::fromStdString(database.directory().string()),
                       [] { return QDateTime(QDate(2011, 12, 31), QTime(18, 0)); },
                       QLocale(QLocale::Czech, QLocale::Czechia)};
    update::StatementRunner runner{Q, log};
};

TEST_F(StatementRunnerTest, SuccessfulStatementLeavesOneEntry)
{
    EXPECT_TRUE(runner.ExecSql("update pos_taxes set pos_taxes.percentage = 14 where pos_taxes.percentage = 10"));
    EXPECT_EQ(entries(), QStringList{"EXEC SQL       | update pos_taxes set pos_taxes.percentage = 14 where pos_taxes.percentage = 10"});
    EXPECT_EQ(runner.failureCount(), 0);
}

TEST_F(StatementRunnerTest, RejectedStatementLeavesStatementAndOneLineEngineError)
{
    EXPECT_FALSE(runner.ExecSql("update NO_SUCH_TABLE set A = 1"));
    const QStringList lines = entries();
    ASSERT_EQ(lines.size(), 2) << lines.join("\n").toStdString();
    EXPECT_EQ(lines[0], "EXEC SQL       | update NO_SUCH_TABLE set A = 1");
    EXPECT_TRUE(lines[1].startsWith("ENGINE ERROR   | 249 -204 ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("NO_SUCH_TABLE"));
    EXPECT_EQ(runner.failureCount(), 1);

    // The caller simply goes on.
    EXPECT_TRUE(runner.ExecSql("update pos_taxes set percentage = percentage"));
}

TEST_F(StatementRunnerTest, SelectValueGivesTextEmptyOrFailureMarker)
{
    EXPECT_EQ(runner.SelectValue("select 2 + 3 from rdb$database"), "5");
    EXPECT_EQ(runner.SelectValue("select 1 from rdb$database where 1 = 0"), "");
    EXPECT_EQ(runner.SelectValue("select null from rdb$database"), "");
    EXPECT_EQ(runner.SelectValue("select count(*) Pocet from NO_SUCH_TABLE"), update::kFailMarker);
    const QStringList lines = entries();
    ASSERT_EQ(lines.size(), 5) << lines.join("\n").toStdString();
    EXPECT_EQ(lines[2], "SELECT SQL     | select null from rdb$database");
    EXPECT_EQ(lines[3], "SELECT SQL     | select count(*) Pocet from NO_SUCH_TABLE");
    EXPECT_TRUE(lines[4].startsWith("ENGINE ERROR   | 249 -204 "));
}

TEST_F(StatementRunnerTest, SelectValueFetchesTheFirstRowOnlySoAProcedureStopsAtItsFirstSuspend)
{
    // Each row's work is recorded before the row is handed out, as a posting procedure's would be.
    connection.execute("create table TEST_ROWS_MADE (ROW_NO integer)");
    connection.execute("create procedure TEST_THREE_ROWS returns (N integer) as begin N = 1; while (N <= 3) do begin "
                       "insert into TEST_ROWS_MADE values (:N); suspend; N = N + 1; end end");
    EXPECT_EQ(runner.SelectValue("select N from TEST_THREE_ROWS"), "1");
    EXPECT_EQ(connection.select("select list(ROW_NO) from TEST_ROWS_MADE").text(0), "1");

    // A query that walks its result, as the stay query does, still gets every row.
    Q.setSql("select N from TEST_THREE_ROWS");
    Q.open();
    std::string seen;
    for (; !Q.eof(); Q.next())
        seen += Q.fieldText(0);
    EXPECT_EQ(seen, "123");
    EXPECT_EQ(connection.select("select list(ROW_NO) from TEST_ROWS_MADE").text(0), "1,1,2,3");
}

TEST_F(StatementRunnerTest, ScriptWithColonNamesIsSentAndLoggedUnchanged)
{
    const QString script = "CREATE or ALTER PROCEDURE T_ECHO (ICislo INTEGER)\r\nRETURNS (OCislo INTEGER)\r\nAS\r\n"
                           "BEGIN\r\n  OCislo = :ICislo;\r\n  SUSPEND;\r\nEND\r\n";
    EXPECT_TRUE(runner.ExecSql(script));
    EXPECT_EQ(runner.SelectValue("select * from T_ECHO(7)"), "7");
    QFile file(log.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromLocal8Bit(file.readAll()).startsWith(kStamp + "EXEC SQL       | " + script + "\r\n"));
}

TEST_F(StatementRunnerTest, OnlyEngineErrorsAreCaught)
{
    // A statement without a result column is no engine error when a value is asked of it.
    EXPECT_THROW(runner.SelectValue("update pos_taxes set percentage = percentage"), db::Error);
    EXPECT_EQ(runner.failureCount(), 0);
}

TEST(StatementRunnerConnection, UnreachableServerIsLoggedPerStatement)
{
    db::Connection connection;
    connection.setDatabase("127.0.0.1/1:QVT");
    connection.setUser("SYSDBA");
    db::Query Q(connection);
    testsupport::FreshDatabase scratch;
    const update::RunLog log(QString::fromStdString(scratch.directory().string()));
    update::StatementRunner runner(Q, log);
    EXPECT_FALSE(runner.ExecSql("update pos_taxes set percentage = 14 where percentage = 10"));
    EXPECT_EQ(runner.SelectValue("select count(*) Pocet from fbs_vat where vat_rate = 14"), update::kFailMarker);
    EXPECT_EQ(runner.failureCount(), 2);
}

} // namespace
