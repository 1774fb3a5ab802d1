// SIGTERM, SIGINT and SIGHUP while a statement runs through the server: the statement finishes,
// nothing more is sent, the log says so, the connection is closed and the exit status is the
// shell's. Repeated, since a crash in the client's own shutdown came about one run in six.

#include "FreshDatabase.h"
#include "RowDump.h"
#include "TestServer.h"

#include "db/Connection.h"

#include <QRegularExpression>

#include <csignal>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

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

} // namespace
