// The database boundary against a real embedded Firebird database.

#include "db/Connection.h"
#include "db/DatabaseClaim.h"
#include "db/DatabaseClaimDetail.h"
#include "db/EngineError.h"
#include "db/Query.h"
#include "db/ServiceAnswer.h"
#include "db/ServiceBackup.h"

#include "FreshDatabase.h"
#include "SilentHost.h"

#include <ibase.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <filesystem>
#include <future>
#include <optional>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

using testsupport::SilentHost;

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.setPassword("m");
    }

    std::string value(const std::string& sql)
    {
        db::Query query(connection);
        query.setSql(sql);
        query.open();
        return query.fieldText(0);
    }

    testsupport::FreshDatabase database;
    db::Connection connection;
};

TEST_F(ConnectionTest, StatementOnClosedConnectionOpensItFirst)
{
    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(value("select 1 from rdb$database"), "1");
    EXPECT_TRUE(connection.isOpen());
    connection.close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(value("select 2 from rdb$database"), "2");
}

TEST_F(ConnectionTest, ReadsStatementsInDialectOne)
{
    // A double-quoted string is a literal and a day.month.year text converts to a date.
    EXPECT_EQ(value("select \"14\" from rdb$database"), "14");
    EXPECT_EQ(value("select cast(\"1.1.2012\" as date) - cast('1.1.2050' as date) from rdb$database"), "-13880");
    EXPECT_EQ(value("select cast(\"31.12.2011\" as date) from rdb$database"), "31.12.2011");
    // Dividing two integers does not truncate in dialect 1.
    EXPECT_EQ(value("select 1/4 from rdb$database"), "0.25");
    EXPECT_EQ(value("select mon$sql_dialect from mon$database"), "1");
}

TEST_F(ConnectionTest, ProcedureTextWithColonNamesAndLineBreaksRunsUnchanged)
{
    const std::string text =
        "CREATE OR ALTER PROCEDURE T_TWICE (IVALUE INTEGER)\r\n"
        "RETURNS (OVALUE INTEGER)\r\n"
        "AS\r\n"
        "DECLARE VARIABLE ATEMP INTEGER;\r\n"
        "DECLARE VARIABLE ADATUM DATE;\r\n"
        "BEGIN\r\n"
        "  ADATUM = \"1.1.2012\";\r\n"
        "  ATEMP = :IVALUE * 2;\r\n"
        "  OVALUE = :ATEMP;\r\n"
        "  SUSPEND;\r\n"
        "END";
    // Every CREATE in dialect 1 warns that DATE is now TIMESTAMP: that is still success.
    EXPECT_NO_THROW(connection.execute(text));
    EXPECT_EQ(value("select OVALUE from T_TWICE(21)"), "42");
    EXPECT_NO_THROW(connection.execute(text)); // CREATE OR ALTER replaces it
}

TEST_F(ConnectionTest, EachStatementIsCommittedOnItsOwn)
{
    connection.execute("create table T_LOG (A integer)");
    connection.execute("insert into T_LOG values (1)");
    EXPECT_THROW(connection.execute("insert into T_LOG values ('not a number')"), db::EngineError);
    EXPECT_THROW(connection.execute("insert into NO_SUCH_TABLE values (1)"), db::EngineError);
    // A read after a statement sees, in its transaction, what the statement alone wrote; a read the
    // engine refuses is reported and the statement is committed all the same.
    const db::Connection::ExecutedWithRead read = connection.executeThenRead(
        "insert into T_LOG values (2)", "select count(*), max(A) from T_LOG where rdb$record_version = current_transaction");
    EXPECT_EQ(read.changedRows, 1u);
    EXPECT_EQ(read.read.text(0), "1");
    EXPECT_EQ(read.read.integer(1), 2);
    EXPECT_FALSE(read.readRefused);
    const db::Connection::ExecutedWithRead refused =
        connection.executeThenRead("update T_LOG set A = 3 where A = 2", "select count(*) from NO_SUCH_TABLE");
    EXPECT_EQ(refused.changedRows, 1u);
    ASSERT_TRUE(refused.readRefused);
    EXPECT_EQ(refused.readRefused->nativeError(), -204);
    connection.close();

    // Another connection sees what was committed around the failures.
    db::Connection other;
    other.setDatabase(database.path());
    other.setUser("SYSDBA");
    db::Query query(other);
    query.setSql("select count(*), max(A) from T_LOG");
    query.open();
    EXPECT_EQ(query.fieldText(0), "2");
    EXPECT_EQ(query.fieldInteger(1), 3);
}

TEST_F(ConnectionTest, UnknownTableGivesTheThreeErrorValues)
{
    try {
        connection.execute("update NO_SUCH_TABLE set A = 1");
        FAIL() << "the statement should have failed";
    } catch (const db::EngineError& error) {
        EXPECT_EQ(error.nativeError(), -204);
        EXPECT_EQ(error.errorCode(), 335544569 & 0xFFFF); // isc_dsql_error
        EXPECT_NE(error.message().find("NO_SUCH_TABLE"), std::string::npos) << error.message();
        EXPECT_EQ(error.message().find('\n'), std::string::npos) << "one line: " << error.message();
    }
}

TEST_F(ConnectionTest, ErrorMessageCarriesTheErrorsWithoutTheDialectWarnings)
{
    try {
        connection.execute("CREATE or ALTER PROCEDURE T_BROKEN AS DECLARE VARIABLE D DATE; BEGIN D = ; END");
        FAIL() << "the statement should have failed";
    } catch (const db::EngineError& error) {
        EXPECT_EQ(error.nativeError(), -104);
        EXPECT_NE(error.message().find("Token unknown"), std::string::npos) << error.message();
        EXPECT_EQ(error.message().find("TIMESTAMP"), std::string::npos) << error.message();
    }
}

// A message longer than the formatter's buffer is cut there, and nothing after it is read: 40
// nested procedures each add a line, and the innermost raises a 1,000-character text.
TEST_F(ConnectionTest, AnEngineMessageThatFillsTheFormattersBufferEndsThere)
{
    connection.execute("create exception DPH_LONG 'x'");
    connection.execute("create procedure DPH_P0 as begin exception DPH_LONG '" + std::string(1000, 'A') + "'; end");
    for (int level = 1; level <= 40; ++level)
        connection.execute("create procedure DPH_P" + std::to_string(level) + " as begin execute procedure DPH_P" +
                           std::to_string(level - 1) + "; end");
    try {
        connection.execute("execute procedure DPH_P40");
        FAIL() << "the exception was not raised";
    } catch (const db::EngineError& error) {
        const std::string& message = error.message();
        EXPECT_GT(message.size(), 1900u);
        EXPECT_LE(message.size(), 2048u) << "not a byte past the buffer";
        EXPECT_NE(message.find(std::string(1000, 'A')), std::string::npos);
        EXPECT_TRUE(std::all_of(message.begin(), message.end(), [](char c) { return c >= ' ' && c < 127; }))
            << message;
    }
}

TEST_F(ConnectionTest, ResultRowsReadAsTextWithNullAsEmpty)
{
    connection.execute("create table T_VALUES (I integer, N numeric(9,2), D double precision, C char(5), "
                       "V varchar(10), TS date, BIG numeric(15,3))");
    connection.execute("insert into T_VALUES values (-7, -0.05, 12.5, 'ab', 'Žluť', '31.12.2011 12:30:05', 12.345)");
    connection.execute("insert into T_VALUES (I) values (null)");

    db::Query query(connection);
    query.setSql("select * from T_VALUES order by I nulls last");
    query.open();
    ASSERT_FALSE(query.eof());
    EXPECT_EQ(query.fieldText("i"), "-7");
    EXPECT_EQ(query.fieldText("N"), "-0.05");
    EXPECT_EQ(query.fieldText("D"), "12.5");
    EXPECT_EQ(query.fieldText("C"), "ab");
    EXPECT_EQ(query.fieldText("V"), "Žluť");
    EXPECT_EQ(query.fieldText("TS"), "31.12.2011 12:30:05");
    EXPECT_EQ(query.fieldText("BIG"), "12.345");
    query.next();
    ASSERT_FALSE(query.eof());
    for (std::size_t column = 0; column < 7; ++column)
        EXPECT_EQ(query.fieldText(column), "") << "column " << column;
    query.next();
    EXPECT_TRUE(query.eof());
    EXPECT_EQ(query.fieldText(0), "");
}

TEST_F(ConnectionTest, ExecuteProcedureWithOutputsGivesOneRow)
{
    connection.execute("CREATE PROCEDURE T_PAIR RETURNS (A INTEGER, B VARCHAR(5)) AS BEGIN A = 3; B = 'x'; END");
    db::Query query(connection);
    query.setSql("execute procedure T_PAIR");
    query.open();
    ASSERT_FALSE(query.eof());
    EXPECT_EQ(query.fieldInteger("A"), 3);
    EXPECT_EQ(query.fieldText(1), "x");
    EXPECT_NO_THROW(connection.execute("execute procedure T_PAIR"));
}

TEST(ConnectionFailure, AliasThatMapsToNothingIsAnEngineError)
{
    db::Connection connection;
    connection.setDatabase("NO_SUCH_ALIAS_OR_FILE");
    connection.setUser("SYSDBA");
    EXPECT_THROW(connection.open(), db::EngineError);
    EXPECT_FALSE(connection.isOpen());
    // A statement tries to open the connection and fails with the same kind of error.
    EXPECT_THROW(connection.execute("select 1 from rdb$database"), db::EngineError);
}

TEST(ConnectionFailure, RefusedServerFailsAtOnce)
{
    db::Connection connection;
    connection.setDatabase("127.0.0.1/1:QVT");
    connection.setUser("SYSDBA");
    connection.setPassword("m");
    try {
        connection.open();
        FAIL() << "port 1 should refuse";
    } catch (const db::EngineError& error) {
        EXPECT_NE(error.errorCode(), 0);
        EXPECT_FALSE(error.message().empty());
    }
}

TEST_F(ConnectionTest, TheClaimIsOneAttachmentsAtATimeAndComesBackAfterAReconnect)
{
    db::Connection second;
    second.setDatabase(database.path());
    second.setUser("SYSDBA");

    connection.claim();
    EXPECT_TRUE(connection.holdsClaim());
    EXPECT_THROW(second.claim(), db::DatabaseBusy);
    EXPECT_FALSE(second.holdsClaim());
    EXPECT_EQ(value("select 1 from rdb$database"), "1") << "the claim's own attachment goes on working";
    second.execute("update POS_TAXES set PERCENTAGE = PERCENTAGE"); // others' statements are not hindered

    connection.close();
    EXPECT_EQ(value("select 1 from rdb$database"), "1");
    EXPECT_TRUE(connection.holdsClaim()) << "taken again with the new attachment";
    EXPECT_THROW(second.claim(), db::DatabaseBusy);

    connection.releaseClaim();
    EXPECT_NO_THROW(second.claim());
    EXPECT_THROW(connection.claim(), db::DatabaseBusy);
    EXPECT_FALSE(connection.holdsClaim());
}

// The claim's statements on a connection of the test's own.
db::detail::Select claimStatementsOn(db::Connection& connection)
{
    return [&connection](const std::string& sql) { return connection.select(sql); };
}

std::unique_ptr<db::Connection> attachedTo(const std::string& path)
{
    auto connection = std::make_unique<db::Connection>();
    connection->setDatabase(path);
    connection->setUser("SYSDBA");
    connection->open();
    return connection;
}

// A run's own mark on an attachment a broken connection left behind does not refuse the run, and
// goes; another run's mark does refuse it.
TEST_F(ConnectionTest, ARunNeverCountsItsOwnMarksAndRemovesTheAttachmentsThatCarryThem)
{
    const std::string run = db::detail::newRunName();
    EXPECT_NE(run, db::detail::newRunName());
    const auto left = attachedTo(database.path()); // stands for the attachment of the broken connection
    db::detail::takeDatabaseClaim(claimStatementsOn(*left), run);

    const auto again = attachedTo(database.path());
    EXPECT_NO_THROW(db::detail::takeDatabaseClaim(claimStatementsOn(*again), run));
    EXPECT_EQ(again->select("select count(*) from MON$ATTACHMENTS where MON$SYSTEM_FLAG = 0").text(0), "1")
        << "the attachment left behind is gone";

    const auto other = attachedTo(database.path());
    EXPECT_THROW(db::detail::takeDatabaseClaim(claimStatementsOn(*other), db::detail::newRunName()), db::DatabaseBusy);
}

// An attachment that only ever wants the claim (an instance stuck between its marks, or anyone
// who sets such a mark) cannot keep a run waiting for ever: after its tries the run is refused as
// if one ran, and takes its own mark back.
TEST_F(ConnectionTest, AContenderThatKeepsWantingTheClaimRefusesTheRunAfterItsTries)
{
    const auto contender = attachedTo(database.path());
    contender->select("select rdb$set_context('USER_SESSION', 'DPH2012_RUN', 'dph2012 1 ff chce') from rdb$database");
    const auto run = attachedTo(database.path());
    std::future<void> claimed = std::async(std::launch::async, [&run] {
        db::detail::takeDatabaseClaim(claimStatementsOn(*run), db::detail::newRunName());
    });
    // Its tries take at most a few seconds; a run that never gives up is let through by taking
    // the contender's mark away, so that this test fails instead of hanging.
    const bool gaveUp = claimed.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!gaveUp)
        contender->select("select rdb$set_context('USER_SESSION', 'DPH2012_RUN', null) from rdb$database");
    EXPECT_TRUE(gaveUp) << "the run kept waiting for the contender";
    EXPECT_THROW(claimed.get(), db::DatabaseBusy);
    EXPECT_EQ(run->select("select count(*) from MON$CONTEXT_VARIABLES where MON$VARIABLE_NAME = 'DPH2012_RUN' and "
                          "MON$ATTACHMENT_ID = CURRENT_CONNECTION").text(0),
              "0");
}

// Two instances that claim at the same instant: exactly one of them gets the database.
TEST_F(ConnectionTest, OfTwoClaimsAtTheSameInstantExactlyOneSucceeds)
{
    constexpr int kTrials = 30;
    int bothRefused = 0, bothClaimed = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        std::array<std::unique_ptr<db::Connection>, 2> connections = {attachedTo(database.path()),
                                                                       attachedTo(database.path())};
        std::array<bool, 2> claimed{};
        std::atomic<int> ready{0};
        const auto claim = [&](int which) {
            ++ready;
            while (ready < 2) {
            }
            try {
                db::detail::takeDatabaseClaim(claimStatementsOn(*connections[which]), db::detail::newRunName());
                claimed[which] = true;
            } catch (const db::DatabaseBusy&) {
            }
        };
        std::thread first(claim, 0), second(claim, 1);
        first.join();
        second.join();
        bothRefused += !claimed[0] && !claimed[1];
        bothClaimed += claimed[0] && claimed[1];
    }
    EXPECT_EQ(bothClaimed, 0);
    EXPECT_EQ(bothRefused, 0) << "of " << kTrials;
}

TEST(ConnectTimeout, OpeningAndEveryLaterAttemptFailAsEngineErrorsInsteadOfHanging)
{
    const SilentHost host;
    db::Connection connection;
    connection.setDatabase("127.0.0.1/" + std::to_string(host.port) + ":hotel");
    connection.setUser("SYSDBA");
    connection.setPassword("x");
    connection.setConnectTimeout(1);
    EXPECT_THROW(connection.open(), db::EngineError);
    EXPECT_FALSE(connection.isOpen());
    EXPECT_THROW(connection.execute("select 1 from rdb$database"), db::EngineError) << "a statement reconnects, bounded";
}

// The backup through the services manager: which one a connection string leads to, and what
// the service reports while it works.
TEST(ServiceTarget, FollowsTheHostOfTheConnectionString)
{
    for (const auto& [connection, serviceManager, database, prefix] :
         {std::tuple{"QVT", "service_mgr", "QVT", ""}, {"/data/hotel.fdb", "service_mgr", "/data/hotel.fdb", ""},
          {"C:\\Kalmor\\hotel.fdb", "service_mgr", "C:\\Kalmor\\hotel.fdb", ""},
          {"C:/Kalmor/hotel.fdb", "service_mgr", "C:/Kalmor/hotel.fdb", ""},
          {"hotelserver:QVT", "hotelserver:service_mgr", "QVT", "hotelserver:"},
          {"hotelserver/3051:/data/hotel.fdb", "hotelserver/3051:service_mgr", "/data/hotel.fdb", "hotelserver/3051:"},
          {"10.0.0.5:C:\\Kalmor\\hotel.fdb", "10.0.0.5:service_mgr", "C:\\Kalmor\\hotel.fdb", "10.0.0.5:"},
          {"hotelserver:/data/Účty/hotel.fdb", "hotelserver:service_mgr", "/data/Účty/hotel.fdb", "hotelserver:"},
          {"inet://hotelserver/QVT", "inet://hotelserver/service_mgr", "QVT", "inet://hotelserver/"},
          {"inet://hotelserver//data/hotel.fdb", "inet://hotelserver/service_mgr", "/data/hotel.fdb", "inet://hotelserver/"},
          {"inet://hotelserver:3051/C:/Kalmor/hotel.fdb", "inet://hotelserver:3051/service_mgr", "C:/Kalmor/hotel.fdb",
           "inet://hotelserver:3051/"},
          {"INET://hotelserver/QVT", "INET://hotelserver/service_mgr", "QVT", "INET://hotelserver/"},
          {"inet6://[::1]:3051/QVT", "inet6://[::1]:3051/service_mgr", "QVT", "inet6://[::1]:3051/"},
          {"[::1]:/data/hotel.fdb", "[::1]:service_mgr", "/data/hotel.fdb", "[::1]:"},
          {"[::1]/3050:QVT", "[::1]/3050:service_mgr", "QVT", "[::1]/3050:"}}) {
        const db::ServiceTarget target = db::serviceTargetOf(connection);
        EXPECT_EQ(target.serviceManager, serviceManager) << connection;
        EXPECT_EQ(target.database, database) << connection;
        EXPECT_EQ(target.serverPrefix, prefix) << connection;
        EXPECT_EQ(target.host.empty(), std::string(prefix).empty()) << connection;
    }
}

// What the services manager answers while a backup runs: only its own end ends the reading.
TEST(ServiceAnswer, OnlyAnAnswerWithoutOutputWaitingOrRunningIsTheEnd)
{
    using Bytes = std::vector<unsigned char>;
    const unsigned char out = isc_info_svc_to_eof, end = isc_info_end, running = isc_info_svc_running;
    for (const auto& [answer, output, finished] :
         {std::tuple{Bytes{out, 3, 0, 'a', '\n', 'b', end}, "a\nb", false},
          {Bytes{out, 0, 0, isc_info_svc_timeout, end}, "", false},
          {Bytes{out, 0, 0, isc_info_data_not_ready, end}, "", false},
          {Bytes{out, 0, 0, isc_info_data_not_ready, running, 1, 0, 0, 0, end}, "", false},
          {Bytes{out, 0, 0, running, 1, 0, 0, 0, end}, "", false},
          {Bytes{out, 2, 0, 'o', 'k', running, 0, 0, 0, 0, end}, "ok", false},
          {Bytes{out, 1, 0, 'x', isc_info_truncated, end}, "x", false},
          {Bytes{out, 0, 0, running, 0, 0, 0, 0, end}, "", true},
          {Bytes{out, 0, 0, end}, "", true}}) {
        const db::detail::ServiceAnswer parsed = db::detail::parseServiceAnswer(answer);
        EXPECT_EQ(parsed.output, output);
        EXPECT_EQ(parsed.finished(), finished) << testing::PrintToString(answer);
    }
}

// The service's output cut into lines as it arrives; a service that never sends a line end is
// handed on in pieces, nothing lost, instead of held without limit.
TEST(ServiceLines, WholeLinesAcrossPiecesAndNothingHeldBeyondABoundWithoutALineEnd)
{
    using Lines = std::vector<std::string>;
    const std::string block(4096, 'x');
    for (const auto& [pieces, wholeLines] :
         {std::pair{Lines{"gbak: a\ngb", "ak: b\n\n", "c"}, Lines{"gbak: a", "gbak: b", "c"}},
          {Lines{"\n", "", "tail"}, Lines{"tail"}},
          {Lines(256, block), Lines()}}) {
        Lines lines;
        db::detail::ServiceLines output([&lines](const std::string& line) { lines.push_back(line); });
        std::size_t mostWaiting = 0;
        std::string sent;
        for (const std::string& piece : pieces) {
            output.add(piece);
            sent += piece;
            mostWaiting = std::max(mostWaiting, output.waiting());
        }
        output.finish();
        std::string handedOn;
        for (const std::string& line : lines)
            handedOn += line;
        sent.erase(std::remove(sent.begin(), sent.end(), '\n'), sent.end());
        EXPECT_EQ(handedOn, sent) << "every byte but the line ends, in order";
        if (!wholeLines.empty()) {
            EXPECT_EQ(lines, wholeLines);
        }
        EXPECT_LT(mostWaiting, 64 * block.size()) << "a quarter of the output without a line end is never held";
        EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.size() < 64 * block.size(); }));
    }
}

TEST(ServiceBackup, ReportsTheSizeItWroteAndItsLinesOnlyToThoseWhoAsk)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    const db::ServiceBackup backup(database.path(), "SYSDBA", "", 5);
    const std::filesystem::path quiet = database.directory() / "quiet.fbk", verbose = database.directory() / "verbose.fbk";

    const std::optional<std::uint64_t> quietSize = backup.run(quiet.string(), {});
    EXPECT_EQ(quietSize, std::filesystem::file_size(quiet));
    std::vector<std::string> lines;
    const std::optional<std::uint64_t> verboseSize =
        backup.run(verbose.string(), [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(verboseSize, std::filesystem::file_size(verbose));

    EXPECT_EQ(std::filesystem::file_size(quiet), std::filesystem::file_size(verbose));
    const auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("writing data for table POS_TAXES"));
    EXPECT_TRUE(has(std::to_string(std::filesystem::file_size(verbose)) + " bytes written"));
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) { return line.find('\n') != std::string::npos; }));
}

} // namespace
