// The full update through a Firebird server: the same as embedded, a server that dies in the
// middle, a row that another attachment holds, a second instance, a signal.

#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "RowDump.h"
#include "StallingRelay.h"
#include "TestServer.h"

#include "db/Connection.h"
#include "db/DatabaseClaim.h"
#include "SilentHost.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

std::string dataOf(db::Connection& connection)
{
    std::string rows;
    for (const char* sql :
         {"select * from POS_TAXES order by 1", "select * from FBS_VAT order by 1", "select * from CISSLUZ order by 1",
          "select Item, HodnotaCZ from QVT_KONFIG order by 1, 2", "select ID, DPH from REC_MM_REZDET order by 1",
          "select trim(RDB$PROCEDURE_NAME) from RDB$PROCEDURES order by 1"})
        rows += dumpRows(connection, sql) + "--\n";
    return rows;
}

// Step 1 failed with an engine error, the only one, and the run went on to its end.
QStringList expectStep1AloneFailed(const InstalledProgram& program)
{
    const QStringList entries = program.logEntries();
    const QStringList after = entries.mid(entries.indexOf(server::kStep1) + 1);
    EXPECT_TRUE(entries.contains(server::kStep1));
    EXPECT_TRUE(after.value(0).startsWith(QStringLiteral("ENGINE ERROR   | "))) << after.value(0).toStdString();
    EXPECT_EQ(entries.filter(QStringLiteral("ENGINE ERROR")).size(), 1) << entries.join('\n').toStdString();
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
    return after;
}

TEST(ServerRun, FullUpdateThroughHostPortAliasLogsAndChangesWhatEmbeddedDoes)
{
    const FreshDatabase embedded(HotelData::Demo);
    const FirebirdRoot root({{"QVT", embedded.path()}});
    InstalledProgram embeddedProgram;
    embeddedProgram.writeSettings(QStringLiteral("QVT"));
    embeddedProgram.setFirebirdRoot(QString::fromStdString(root.path()));
    ASSERT_EQ(embeddedProgram.run({QStringLiteral("x")}), 0) << embeddedProgram.standardError().toStdString();

    const FreshDatabase copy(HotelData::Demo);
    std::filesystem::copy_file(copy.path(), server::kAliasDatabase, std::filesystem::copy_options::overwrite_existing);
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor("HOTEL_ALIAS"));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();

    EXPECT_EQ(program.logEntries(), embeddedProgram.logEntries());
    db::Connection throughServer;
    server::connect(throughServer, "HOTEL_ALIAS");
    db::Connection direct;
    direct.setDatabase(embedded.path());
    direct.setUser("SYSDBA");
    EXPECT_EQ(dataOf(throughServer), dataOf(direct));
}

TEST(ServerRun, ALockHeldElsewhereFailsThatStatementAtOnceAndTheRunGoesOn)
{
    const FreshDatabase database(HotelData::Demo);
    const server::HeldLock lock(database.path(), "update POS_TAXES set PERCENTAGE = PERCENTAGE where ID_TAX = 1");
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 2);
    EXPECT_TRUE(expectStep1AloneFailed(program).value(0).contains(QStringLiteral("conflict"), Qt::CaseInsensitive));
}

// A server of this test's own, since it is killed.
class OwnServer {
public:
    OwnServer() : directory_(std::string(SERVER_DIR) + "_killed") { script("start"); }
    ~OwnServer() { script("stop"); }
    const std::string& directory() const { return directory_; }
    void kill() const
    {
        std::ifstream file(directory_ + "/pid");
        pid_t pid = 0;
        if (!(file >> pid) || pid <= 0 || ::kill(pid, SIGKILL) != 0)
            throw std::runtime_error("cannot kill the test's server");
    }
    void startAgain() const { script("resume"); }

private:
    void script(const char* action) const
    {
        if (QProcess::execute(QStringLiteral("bash"), {QStringLiteral(SERVER_SCRIPT), QLatin1String(action),
                                                       QString::fromStdString(directory_)}) != 0)
            throw std::runtime_error(std::string("the server script failed to ") + action);
    }
    std::string directory_;
};

TEST(ServerRun, ServerKilledMidStatementFailsThatStatementAndLaterOnesReconnect)
{
    const OwnServer own;
    const FreshDatabase database(HotelData::Demo);
    db::Connection check;
    server::connect(check, database.path(), own.directory());
    server::slowDown(check, "POS_TAXES", "update", 5);
    check.close();
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path(), own.directory()));
    program.start({QStringLiteral("x")});
    server::waitForEntry(program, server::kStep1);
    // Held while the server dies and comes back, so that the later statements meet the new server.
    const auto pid = static_cast<pid_t>(program.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    own.kill();
    own.startAgain();
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(expectStep1AloneFailed(program).value(1), QStringLiteral("KROK 2         | "));

    EXPECT_EQ(dumpRows(check, "select PERCENTAGE from POS_TAXES where ID_TAX in (1, 4) order by 1"), "10|\n10|\n")
        << "the killed statement was undone";
    EXPECT_EQ(dumpRows(check, "select count(*) from FBS_VAT where VAT_RATE = 14"), "1|\n") << "step 2 ran after it";
}

// The database-wide claim: a second instance is refused, a user who may not alter the database
// goes on unclaimed.
TEST(TwoInstances, TheSecondIsRefusedWithThreeWhileTheFirstHoldsBetweenCountAndInsertAndTheNextRunsNormally)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection check;
    server::connect(check, database.path());
    server::slowDown(check, "FBS_VAT", "insert", 3); // holds the first between its count and its commit
    check.close();
    const QByteArray settings = server::settingsFor(database.path());
    InstalledProgram first;
    first.writeSettingsText(settings);
    first.start({QStringLiteral("x")});
    server::waitForEntry(first, QStringLiteral("EXEC SQL       | insert into fbs_vat (id_vat,vat_rate) values ((select "
                                               "Max(id_vat) from fbs_vat)+1 ,14)"));

    // Meanwhile a hotel client's commonest reads go through, even the strictest kind of them.
    EXPECT_EQ(server::readWithoutRecordVersions(database.path()), QString()) << "nothing is held that a reader waits on";

    InstalledProgram second;
    second.writeSettingsText(settings);
    EXPECT_EQ(second.run({QStringLiteral("x")}), 3);
    EXPECT_TRUE(second.standardError().contains(QStringLiteral("another update of this database is running")));
    const QStringList refused = second.logEntries();
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0].startsWith(
        QStringLiteral("ERROR          | Jina aktualizace teto databaze prave bezi, nic nebylo zmeneno (drzi ji pripojeni ")))
        << refused[0].toStdString();

    ASSERT_TRUE(first.endsByItself());
    EXPECT_EQ(first.exitCode(), 0) << first.logEntries().join('\n').toStdString();
    EXPECT_EQ(dumpRows(check, "select count(*) from FBS_VAT where VAT_RATE = 14"), "1|\n");
    EXPECT_EQ(second.run({QStringLiteral("x")}), 0) << "the claim was let go";
}

// Anyone may set a session variable of the claim's name: a value the program never writes, also
// one that ends as the program's own do, is named once in the log and blocks nothing; a mark of
// the program's own form refuses the run, and the refusal names the attachment that holds it.
TEST(TwoInstances, AForgedMarkIsNamedAndIgnoredAndTheHolderOfARealOneIsNamedInTheRefusal)
{
    const struct {
        const char* value;
        bool real;
    } marks[] = {{"x", false}, {"cizi dph2012 4242 abc bezi", false}, {"dph2012 4242 abc bezi", true}};
    for (const auto& each : marks) {
        SCOPED_TRACE(each.value);
        const FreshDatabase database(HotelData::Demo);
        db::Connection other;
        server::connect(other, database.path());
        other.select(std::string("select rdb$set_context('USER_SESSION', 'DPH2012_RUN', '") + each.value
                     + "') from rdb$database");
        const QString attachment =
            QString::fromStdString(other.select("select CURRENT_CONNECTION from rdb$database").text(0));
        InstalledProgram program;
        program.writeSettingsText(server::settingsFor(database.path()));
        const int exitCode = program.run({QStringLiteral("x")});
        const QString entries = program.logEntries().join('\n');
        if (!each.real) {
            EXPECT_EQ(exitCode, 0) << program.standardError().toStdString();
            EXPECT_EQ(program.logEntries()
                          .filter(QStringLiteral("Cizi znacka aktualizace se nepocita: pripojeni %1,").arg(attachment))
                          .size(),
                      1)
                << entries.toStdString();
            continue;
        }
        EXPECT_EQ(exitCode, 3);
        EXPECT_TRUE(program.standardError().contains(QStringLiteral("it is held by pripojeni %1, uzivatel SYSDBA").arg(attachment)))
            << program.standardError().toStdString();
        EXPECT_TRUE(program.logEntries().last().contains(QStringLiteral("(drzi ji pripojeni %1,").arg(attachment)))
            << entries.toStdString();
    }
}

// Two instances that start at the same moment: the one that has marked its attachment but not
// yet looked for others is already enough to refuse the other, and each goes on only after
// looking, so they can both be refused but never both run.
TEST(TwoInstances, AnInstanceHeldBetweenMarkingAndLookingRefusesTheOtherAndThenFindsItGone)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection held;
    server::connect(held, database.path());
    held.execute(std::string("select rdb$set_context('USER_SESSION', '") + db::kClaimMark
                 + "', 'dph2012 77 ab chce') from rdb$database");
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 3);
    EXPECT_EQ(program.logEntries().size(), 1);
    EXPECT_EQ(dumpRows(held, "select count(*) from POS_TAXES where PERCENTAGE = 10"), "2|\n") << "nothing was changed";
    EXPECT_NO_THROW(held.claim()) << "the refused instance took its mark back";
}

// A user who sees only its own attachments claims what it can see and says so in one entry.
TEST(ClaimRights, AUserWhoSeesOnlyItsOwnAttachmentsClaimsThemSaysSoAndStillReconnects)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection hotel;
    hotel.setDatabase(server::address(database.path()));
    hotel.setUser("HOTEL");
    hotel.setPassword("hotel1");
    hotel.claim();
    EXPECT_TRUE(hotel.holdsClaim());
    EXPECT_FALSE(hotel.claimSeesAllAttachments());
    hotel.close();
    EXPECT_EQ(hotel.select("select 1 from rdb$database").text(0), "1") << "reconnecting is not refused";
    EXPECT_TRUE(hotel.holdsClaim());
    hotel.releaseClaim();

    InstalledProgram program;
    program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(server::address(database.path()))
                              + "\r\nUser=HOTEL\r\nPassword=hotel1\r\n");
    program.run({QStringLiteral("x")});
    EXPECT_EQ(program.logEntries().value(0), QStringLiteral("               | Uzivatel HOTEL vidi jen sva pripojeni: "
                                                           "aktualizaci spustenou jinym uzivatelem nelze vyloucit"));
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("nelze vyloucit")).size(), 1);

    db::Connection sysdba;
    server::connect(sysdba, database.path());
    EXPECT_NO_THROW(sysdba.claim()) << "nobody holds it";
    EXPECT_TRUE(sysdba.claimSeesAllAttachments());
}

// SIGTERM, SIGINT and SIGHUP while a statement runs through the server: the statement finishes,
// nothing more is sent, the log says so, the connection is closed and the exit status is the
// shell's. Repeated, since a crash in the client's own shutdown came about one run in six.
struct SignalCase {
    int signal;
    const char* name;
    int repeats;
};

class StopSignal : public testing::TestWithParam<SignalCase> {};

TEST_P(StopSignal, EndsAfterTheStatementInFlightWithALogEntryAndTheShellsStatus)
{
    const SignalCase& signalCase = GetParam();
    const FreshDatabase database(HotelData::Demo);
    db::Connection connection;
    server::connect(connection, database.path());
    server::slowDown(connection, "POS_TAXES", "update", 1);
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()));

    int sound = 0;
    for (int run = 1; run <= signalCase.repeats; ++run) {
        connection.execute("update POS_TAXES set PERCENTAGE = 10 where ID_TAX in (1, 4)");
        program.start({QStringLiteral("x")});
        server::waitForEntry(program, server::kStep1, run);
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signalCase.signal), 0);
        ASSERT_TRUE(program.endsByItself());

        const QStringList entries = program.logEntries();
        // After the statement in flight: at most the next step's heading, no statement, no error.
        const QStringList after = entries.mid(entries.lastIndexOf(server::kStep1) + 1);
        const bool ok = program.exitedNormally() && program.exitCode() == 128 + signalCase.signal && !after.isEmpty()
            && after.last() == QStringLiteral("PRERUSENO      | ") + signalCase.name
            && after.filter(QRegularExpression(QStringLiteral("^(EXEC SQL|SELECT SQL|ENGINE ERROR)"))).isEmpty();
        EXPECT_TRUE(ok) << "run " << run << ": normal exit " << program.exitedNormally() << ", status "
                        << program.exitCode() << ", log ends " << entries.mid(entries.size() - 3).join(" / ").toStdString();
        EXPECT_EQ(dumpRows(connection, "select PERCENTAGE from POS_TAXES where ID_TAX in (1, 4)"), "14|\n14|\n")
            << "run " << run << ": the statement in flight finished";
        sound += ok ? 1 : 0;
    }
    EXPECT_EQ(dumpRows(connection, "select count(*) from FBS_VAT where VAT_RATE = 14"), "0|\n") << "nothing more was sent";
    std::printf("%s: %d of %d runs ended soundly\n", signalCase.name, sound, signalCase.repeats);
}

// A host that accepts the connection and never answers, and a long connect timeout: a stop signal
// while the connection is being made ends the program at once, in every mode.
struct ConnectingCase {
    const char* mode; // an argument, or "window" for none
    int signal;
    const char* name;
};

class StopWhileConnecting : public testing::TestWithParam<ConnectingCase> {};

TEST_P(StopWhileConnecting, EndsAtOnceWithTheShellsStatusInsteadOfWaitingForTheHost)
{
    const ConnectingCase& stop = GetParam();
    SilentHost host;
    InstalledProgram program;
    program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(host.address())
                              + "\r\nUser=SYSDBA\r\nPassword=x\r\nConnectTimeout=40\r\n");
    const bool window = stop.mode == std::string("window");
    program.start(window ? QStringList{} : QStringList{QString::fromLatin1(stop.mode)},
                  window ? QStringLiteral("offscreen") : QString());
    ASSERT_TRUE(host.clientArrives(30000)) << program.standardError().toStdString();
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), stop.signal), 0);
    ASSERT_FALSE(program.stillRunningAfter(20000)) << "it waited for the host (timeout 40 s)";
    std::printf("%s, %s: ended %lld ms after the signal\n", stop.mode, stop.name, static_cast<long long>(clock.elapsed()));
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 128 + stop.signal);
    const QStringList logged = stop.mode == std::string("--check")
        ? QStringList()
        : QStringList{QStringLiteral("PRERUSENO      | ") + QString::fromLatin1(stop.name)};
    EXPECT_EQ(program.logEntries(), logged);
}

INSTANTIATE_TEST_SUITE_P(Modes, StopWhileConnecting,
                         testing::Values(ConnectingCase{"x", SIGINT, "SIGINT"}, ConnectingCase{"x", SIGHUP, "SIGHUP"},
                                         ConnectingCase{"--check", SIGINT, "SIGINT"},
                                         ConnectingCase{"--check", SIGTERM, "SIGTERM"},
                                         ConnectingCase{"window", SIGTERM, "SIGTERM"}),
                         [](const auto& info) {
                             return std::string(info.param.mode[0] == 'x' ? "Automatic" : info.param.mode[0] == '-' ? "Check" : "Window")
                                 + info.param.name;
                         });

TEST(StopSignalInTheWindow, AnIdleWindowClosesWithALogEntryAndTheShellsStatus)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection connection;
    server::connect(connection, database.path());
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()));
    program.start({}, QStringLiteral("offscreen"));
    // Connected: the window is shown and waits for the operator.
    const std::string others = "select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION "
                               "and MON$REMOTE_PROTOCOL is not null";
    while (dumpRows(connection, others) == "0|\n")
        ASSERT_TRUE(program.stillRunningAfter(20)) << program.standardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 143);
    EXPECT_EQ(program.logEntries(), QStringList{QStringLiteral("PRERUSENO      | SIGTERM")});
    EXPECT_EQ(dumpRows(connection, others), "0|\n") << "the window detached";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal,
                         testing::Values(SignalCase{SIGTERM, "SIGTERM", 12}, SignalCase{SIGINT, "SIGINT", 12},
                                         SignalCase{SIGHUP, "SIGHUP", 4}),
                         [](const testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

// The network stops answering once everything is committed: the engine's final detach never
// returns, and the program still ends on its own bound with the run's status, saying why.
TEST(FinalDetach, ANetworkThatStopsAnsweringBeforeTheFinalDetachStillEndsTheRunWithItsStatus)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string direct = server::address(database.path());
    const std::string::size_type slash = direct.find('/');
    const std::string::size_type colon = direct.find(':', slash);
    server::StallingRelay relay(std::stoi(direct.substr(slash + 1, colon - slash - 1)));
    const std::string relayed = direct.substr(0, slash + 1) + std::to_string(relay.port()) + direct.substr(colon);
    InstalledProgram program;
    program.writeSettingsText(QByteArray::fromStdString("[Params]\r\nAlias=" + relayed + "\r\nUser=SYSDBA\r\nPassword=")
                              + server::kPassword + "\r\n");
    const QString hold = QDir(program.directory()).filePath(QStringLiteral("hold"));
    ASSERT_FALSE(program.startHeldAt(QStringLiteral("detach"), hold, {QStringLiteral("--update"), QStringLiteral("a")}).isEmpty())
        << program.standardError().toStdString();
    relay.stall();
    ASSERT_TRUE(QFile::remove(hold));
    ASSERT_TRUE(program.endsByItself()) << "the program waits for a detach that never returns";
    EXPECT_EQ(program.exitCode(), 0) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("did not finish its detach within 10 s")))
        << program.standardError().toStdString();
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("po 10 s neukoncilo odpojeni")).size(), 1)
        << program.logEntries().join('\n').toStdString();
}

} // namespace
