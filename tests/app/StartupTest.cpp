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

TEST(InteractiveStart, EmptyArgumentWaitsForTheOperator)
{
    const testsupport::FreshDatabase database;
    InstalledProgram program;
    program.writeSettings(QString::fromStdString(database.path()));
    program.start({QString()}, QStringLiteral("offscreen"));
    EXPECT_TRUE(program.stillRunningAfter(1500));
}

TEST(InteractiveStart, NoArgumentWaitsForTheOperator)
{
    InstalledProgram program;
    program.start({}, QStringLiteral("offscreen"));
    EXPECT_TRUE(program.stillRunningAfter(1500));
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

} // namespace
