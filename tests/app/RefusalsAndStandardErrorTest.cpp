// What the installed program says on standard error, and what it refuses before connecting.

#include "FirebirdRoot.h"
#include "InstalledProgram.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using testsupport::FirebirdRoot;
using testsupport::InstalledProgram;

// An alias that no databases.conf maps: every statement fails fast, nothing is changed anywhere.
class UnmappedRun : public testing::Test {
protected:
    UnmappedRun() { program.setFirebirdRoot(QString::fromStdString(root.path())); }

    int run()
    {
        program.start({QStringLiteral("x")});
        if (!program.endsByItself())
            throw std::runtime_error("the run did not end");
        return program.exitCode();
    }

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
}

TEST_F(UnmappedRun, StandardErrorStaysEmptyWithoutARuntimeDirectory)
{
    program.writeSettings(QStringLiteral("QVT"));
    program.unsetEnvironment(QStringLiteral("XDG_RUNTIME_DIR"));
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(program.standardError(), QString());
}

TEST_F(UnmappedRun, ALogThatCannotBeWrittenIsSaidOnceAndTheRunGoesOn)
{
    program.writeSettings(QStringLiteral("QVT"));
    const QString log = QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012.log"));
    ASSERT_TRUE(QDir().mkdir(log));
    EXPECT_EQ(run(), 2) << "the statements ran (and failed) as without a log";
    const QStringList lines = program.standardError().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(log)) << lines[0].toStdString();
}

} // namespace
