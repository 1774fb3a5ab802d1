#include "FreshDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A copy of the built program in a directory of its own, started as an operator or a
// scheduler would start it.
class InstalledProgram {
public:
    InstalledProgram()
    {
        const QString source = QStringLiteral(DPH2012_EXECUTABLE);
        if (!QFile::copy(source, executable()))
            throw std::runtime_error("cannot copy " + source.toStdString());
    }
    ~InstalledProgram()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    QString executable() const { return directory_.filePath(QStringLiteral("dph2012")); }

    void writeSettings(const QString& alias) const
    {
        QFile file(directory_.filePath(QStringLiteral("DPH.ini")));
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write DPH.ini");
        file.write("[Params]\r\nAlias=" + alias.toUtf8() + "\r\nUser=SYSDBA\r\nPassword=heslo42\r\n");
    }

    // Started with no display at all, unless a platform is named.
    void start(const QStringList& arguments, const QString& platform = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (!platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(directory_.path());
        process_.start(executable(), arguments);
        if (!process_.waitForStarted(30000))
            throw std::runtime_error("the program did not start");
    }

    // Waits for the program to end by itself; false if it is still running after a minute.
    bool endsByItself() { return process_.waitForFinished(60000); }
    bool stillRunningAfter(int milliseconds) { return !process_.waitForFinished(milliseconds); }
    int exitCode() const { return process_.exitCode(); }
    bool exitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    QString standardError() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

private:
    QTemporaryDir directory_;
    QProcess process_;
};

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

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
