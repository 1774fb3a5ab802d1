// Arguments that ask for help or the version answer and end; they never start the update.

#include "InstalledProgram.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

class HelpArgument : public testing::TestWithParam<const char*> {};

TEST_P(HelpArgument, AnswersOnStandardOutputAndEndsWithZeroWithoutStartingTheUpdate)
{
    testsupport::InstalledProgram program;
    // Had the program made its window, this alias's settings notice would be on standard error.
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    program.start({QString::fromLatin1(GetParam())});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 0);
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

INSTANTIATE_TEST_SUITE_P(Arguments, HelpArgument, testing::Values("-h", "--help", "-?", "/?", "--version"));

} // namespace
