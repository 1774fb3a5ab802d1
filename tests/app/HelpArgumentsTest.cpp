// Arguments that ask for help or the version answer and end; they never start the update.

#include "InstalledProgram.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using testsupport::InstalledProgram;

struct Answer {
    QString output;
    QString errors;
    int exitCode;
    QStringList log;
};

// The program beside a DPH.ini whose alias is not the default: had it made its window, the
// settings notice would be on standard error.
Answer ask(const QString& argument)
{
    InstalledProgram program;
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    program.start({argument});
    if (!program.endsByItself())
        throw std::runtime_error("the program did not end");
    return {program.standardOutput(), program.standardError(), program.exitCode(), program.logEntries()};
}

class HelpArgument : public testing::TestWithParam<const char*> {};

TEST_P(HelpArgument, PrintsTheUsageAndEndsWithZeroWithoutTouchingAHotel)
{
    const Answer answer = ask(QString::fromLatin1(GetParam()));
    EXPECT_EQ(answer.exitCode, 0);
    EXPECT_TRUE(answer.output.startsWith(QStringLiteral("Usage: dph2012"))) << answer.output.toStdString();
    for (const char* named : {"-h", "--help", "-?", "/?", "--version", "DPH.ini", "QVTDPH2012.log", "  3  refused"})
        EXPECT_TRUE(answer.output.contains(QLatin1String(named))) << named;
    EXPECT_EQ(answer.errors, QString()) << "no window, no settings notice";
    EXPECT_EQ(answer.log, QStringList()) << "no update";
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelpArgument, testing::Values("-h", "--help", "-?", "/?"));

TEST(VersionArgument, PrintsTheVersionAndEndsWithZeroWithoutTouchingAHotel)
{
    const Answer answer = ask(QStringLiteral("--version"));
    EXPECT_EQ(answer.exitCode, 0);
    EXPECT_EQ(answer.output, QStringLiteral("dph2012 " DPH2012_VERSION "\n"));
    EXPECT_EQ(answer.errors, QString());
    EXPECT_EQ(answer.log, QStringList());
}

TEST(HelpArgument, TheReadmeShowsTheUsageAsTheProgramPrintsIt)
{
    QFile readme(QStringLiteral(README_FILE));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString usage = ask(QStringLiteral("--help")).output;
    ASSERT_FALSE(usage.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(readme.readAll()).contains(QStringLiteral("```\n") + usage + QStringLiteral("```\n")))
        << "README.md must hold this text in a fenced block:\n"
        << usage.toStdString();
}

} // namespace
