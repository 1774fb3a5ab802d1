#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include <csignal>
#include <QElapsedTimer>

#include <QDir>
#include <QFile>

#include <array>
#include <string>

#include <gtest/gtest.h>

namespace {

using testsupport::FirebirdRoot;
using testsupport::InstalledProgram;

TEST(AutomaticStart, RunsWithoutADisplayAndEndsWithZeroOnAGoodDatabase)
{
    const testsupport::FreshDatabase database;
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    program.start({QStringLiteral("x")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 0);
    const QString errors = program.standardError();
    EXPECT_TRUE(errors.contains(QStringLiteral("AliasName = ") + QString::fromStdString(database.path()))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("heslo42"))) << errors.toStdString();
}

// Old scheduled tasks pass any word and mean the update; an unknown "--" argument is a typo that
// must not start it, so it is refused before DPH.ini is read (here a directory, which would end
// the program with 3) or anything is connected.
TEST(AutomaticStart, AnyWordSelectsItButAnUnknownDoubleDashArgumentIsRefusedWithTheUsage)
{
    const testsupport::FreshDatabase database;
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    for (const char* word : {"automat", "x", "/a", "1"}) {
        program.start({QString::fromLatin1(word), QStringLiteral("ignored")});
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), 0) << word;
    }
    const qsizetype entries = program.logEntries().size();

    InstalledProgram unread;
    ASSERT_TRUE(QDir(unread.directory()).mkdir(QStringLiteral("DPH.ini")));
    for (InstalledProgram* each : {&program, &unread})
        for (const char* typo : {"--chek", "--dry-run", "--backup", "--"}) {
            EXPECT_EQ(each->run({QString::fromLatin1(typo)}), 64) << typo;
            EXPECT_TRUE(each->standardError().contains(QStringLiteral("Usage: dph2012"))) << typo;
            EXPECT_TRUE(each->standardOutput().isEmpty()) << typo;
        }
    EXPECT_EQ(program.logEntries().size(), entries) << "nothing was started";
    EXPECT_FALSE(unread.hasRunLog());
}

// The unattended update never loads the widget toolkit, whose libraries would cost it a good part
// of its time on a small database; the window still comes up (see InteractiveStart).
TEST(AutomaticStart, LoadsNoWidgetLibrary)
{
    const testsupport::FreshDatabase database;
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    program.setEnvironment(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0);
    const QString loaded = program.standardError();
    EXPECT_TRUE(loaded.contains(QStringLiteral("libQt6Core"))) << "the loader's report was read";
    EXPECT_FALSE(loaded.contains(QStringLiteral("libQt6Widgets")));
    EXPECT_FALSE(loaded.contains(QStringLiteral("libQt6Gui")));
}

// Nothing could be connected, so nothing was changed: the run still goes through every statement
// and ends with 3.
class FailedConnectionStart : public testing::TestWithParam<const char*> {};

TEST_P(FailedConnectionStart, CompletesAndReportsThreeForNothingChanged)
{
    InstalledProgram program;
    program.writeSettings(QString::fromLatin1(GetParam()));
    program.start({QStringLiteral("x")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 3);
    EXPECT_EQ(program.logEntries().last(), QStringLiteral("KONEC          | "));
}

INSTANTIATE_TEST_SUITE_P(Aliases, FailedConnectionStart, testing::Values("127.0.0.1/1:QVT", "/nonexistent-dph2012/hotel.fdb"),
                         [](const auto& info) { return std::string(info.index == 0 ? "RefusedPort" : "MissingFile"); });

// Interactive mode shows its window, and showing it tries the connection: with no screen to
// show a dialog on, the connection message goes to standard error and the window waits on.
class InteractiveStart : public testing::TestWithParam<bool> {};

TEST_P(InteractiveStart, ShowsTheWindowAndStartsNoUpdate)
{
    InstalledProgram program;
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    program.start(GetParam() ? QStringList{QString()} : QStringList{}, QStringLiteral("offscreen"));
    ASSERT_TRUE(program.writesToStandardError(QStringLiteral("Chyba při pokusu o připojení k serveru!")))
        << program.standardError().toStdString();
    EXPECT_TRUE(program.isRunning()) << "the window waits for the operator";
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("SPUSTENI AKT.")), QStringList());
}

INSTANTIATE_TEST_SUITE_P(EmptyOrNoArgument, InteractiveStart, testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "EmptyArgument" : "NoArgument"); });

// A stop signal to the window that waits for the operator, connected to the hotel's database:
// the program ends at once with the shell's status for the signal, and the run log says why.
TEST(InteractiveStart, AStopSignalEndsTheWaitingWindowAtOnce)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Base);
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    program.start({}, QStringLiteral("offscreen"));
    ASSERT_TRUE(program.stillRunningAfter(1500)) << program.standardError().toStdString();
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself()) << "still running a minute after the signal";
    EXPECT_LT(sinceSignal.elapsed(), 10000);
    EXPECT_EQ(program.exitCode(), 143);
    EXPECT_EQ(program.logEntries(), QStringList{QStringLiteral("PRERUSENO      | SIGTERM")});
}

TEST(InteractiveStart, NoDisplayEndsAtOnceWithAMessageAndOne)
{
    InstalledProgram program;
    program.start({});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally()) << "not a toolkit abort";
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("no display")));
}

// Arguments that ask for help or the version answer and end; they never start the update.
class HelpArgument : public testing::TestWithParam<const char*> {};

TEST_P(HelpArgument, AnswersOnStandardOutputAndEndsWithZeroWithoutStartingTheUpdate)
{
    InstalledProgram program;
    // Had the program made its window, this alias's settings notice would be on standard error.
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    EXPECT_EQ(program.run({QString::fromLatin1(GetParam())}), 0);
    EXPECT_EQ(program.standardError(), QString());
    EXPECT_EQ(program.logEntries(), QStringList());
    const QString output = program.standardOutput();
    if (GetParam() == std::string("--version")) {
        EXPECT_EQ(output, QStringLiteral("dph2012 " DPH2012_VERSION "\n"));
        return;
    }
    EXPECT_TRUE(output.startsWith(QStringLiteral("Usage: dph2012"))) << output.toStdString();
    QFile readme(QStringLiteral(README_FILE));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(readme.readAll()).contains(QStringLiteral("```\n") + output + QStringLiteral("```\n")))
        << "README.md must show the usage as the program prints it:\n" << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelpArgument, testing::Values("-h", "--help", "-?", "/?", "--version"),
                         [](const auto& info) {
                             return std::string(std::array{"h", "help", "question", "slash_question", "version"}[info.index]);
                         });

// An alias that no databases.conf maps: every statement fails fast, nothing is changed anywhere.
class UnmappedRun : public testing::Test {
protected:
    UnmappedRun() { program.setFirebirdRoot(QString::fromStdString(root.path())); }
    int run() { return program.run({QStringLiteral("x")}); }

    FirebirdRoot root{{}};
    InstalledProgram program;
};

TEST_F(UnmappedRun, AnUnreadableSettingsFileStopsBeforeConnectingWithThree)
{
    ASSERT_TRUE(QDir(program.directory()).mkdir(QStringLiteral("DPH.ini")));
    EXPECT_EQ(run(), 3);
    const QString errors = program.standardError();
    EXPECT_TRUE(errors.contains(QDir(program.directory()).filePath(QStringLiteral("DPH.ini")))) << errors.toStdString();
    EXPECT_TRUE(program.logEntries().isEmpty()) << "no statement was logged, so none was sent";
    // The read-only check does not report on the defaults' database either.
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 2);
    EXPECT_TRUE(program.standardOutput().isEmpty());
}

// Nothing else on standard error, not even the toolkit's warning about a missing runtime directory.
TEST_F(UnmappedRun, ALogThatCannotBeWrittenIsTheOnlyThingSaidOnStandardErrorAndTheRunGoesOn)
{
    program.writeSettings(QStringLiteral("QVT"));
    program.unsetEnvironment(QStringLiteral("XDG_RUNTIME_DIR"));
    const QString log = QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012.log"));
    ASSERT_TRUE(QDir().mkdir(log));
    EXPECT_EQ(run(), 3) << "the statements ran (and failed to connect) as without a log";
    const QStringList lines = program.standardError().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(log)) << lines[0].toStdString();
}

} // namespace
