#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include <gtest/gtest.h>

namespace {

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

TEST(AutomaticStart, AnyNonEmptyArgumentSelectsIt)
{
    const testsupport::FreshDatabase database;
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    program.start({QStringLiteral("automat"), QStringLiteral("ignored")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 0);
}

class FailedConnectionStart : public testing::TestWithParam<const char*> {};

TEST_P(FailedConnectionStart, CompletesAndReportsTwo)
{
    InstalledProgram program;
    program.writeSettings(QString::fromLatin1(GetParam()));
    program.start({QStringLiteral("x")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 2);
}

INSTANTIATE_TEST_SUITE_P(Aliases, FailedConnectionStart,
                         testing::Values("127.0.0.1/1:QVT", "/nonexistent-dph2012/hotel.fdb"));

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

INSTANTIATE_TEST_SUITE_P(EmptyOrNoArgument, InteractiveStart, testing::Bool());

TEST(InteractiveStart, NoDisplayEndsAtOnceWithAMessageAndOne)
{
    InstalledProgram program;
    program.start({});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally()) << "not a toolkit abort";
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("no display")));
}

} // namespace
