// The backup before an unattended update and `dph2012 --check`, as the installed program.

#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using testsupport::FirebirdRoot;
using testsupport::FreshDatabase;
using testsupport::HotelData;
using testsupport::InstalledProgram;

class SafetyNetRun : public testing::Test {
protected:
    SafetyNetRun()
    {
        program.writeSettings(QStringLiteral("QVT"));
        program.setFirebirdRoot(QString::fromStdString(root.path()));
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }
    int run(const QStringList& arguments)
    {
        program.start(arguments);
        EXPECT_TRUE(program.endsByItself());
        return program.exitCode();
    }
    // Detached again at once: the embedded engine lets one process at a time open the database.
    std::string rateTenLeft()
    {
        const std::string count = connection.select("select count(*) from pos_taxes where percentage = 10").text(0);
        connection.close();
        return count;
    }
    QString backupFile() const { return QString::fromStdString((database.directory() / "hotel.fbk").string()); }

    FreshDatabase database{HotelData::Demo};
    FirebirdRoot root{{{"QVT", database.path()}}};
    InstalledProgram program;
    db::Connection connection;
};

TEST_F(SafetyNetRun, BackupThroughTheAliasThenTheUpdateWithProgressOnStandardError)
{
    program.appendSettings("Backup=" + backupFile().toUtf8() + "\r\n");
    EXPECT_EQ(run({QStringLiteral("x")}), 0);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("dph2012: zaloha: ") + backupFile() + QLatin1Char('\n')));
    const QStringList log = program.logEntries();
    ASSERT_GE(log.size(), 6);
    EXPECT_EQ(log[3], QStringLiteral("ZALOHA         | ") + backupFile());
    EXPECT_TRUE(log[4].startsWith(QStringLiteral("ZALOHA OK      | %1 B, ").arg(QFileInfo(backupFile()).size())))
        << log[4].toStdString();
    EXPECT_EQ(log[5], QStringLiteral("KROK 1         | "));
    EXPECT_EQ(rateTenLeft(), "0");
}

TEST_F(SafetyNetRun, FailedBackupRefusesTheUnattendedUpdateWithThree)
{
    program.appendSettings("Backup=/nonexistent-directory-of-dph2012/hotel.fbk\r\n");
    const std::string before = rateTenLeft();
    EXPECT_EQ(run({QStringLiteral("x")}), 3);
    EXPECT_TRUE(program.standardError().contains(QString::fromUtf8("Záloha databáze se nezdařila")));
    EXPECT_EQ(rateTenLeft(), before);
    const QStringList log = program.logEntries();
    ASSERT_EQ(log.size(), 5) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log[3], QStringLiteral("ZALOHA         | /nonexistent-directory-of-dph2012/hotel.fbk"));
    EXPECT_TRUE(log[4].startsWith(QStringLiteral("ZALOHA CHYBA   | "))) << log[4].toStdString();
    EXPECT_TRUE(log[4].contains(QStringLiteral("/nonexistent-directory-of-dph2012/hotel.fbk"))) << log[4].toStdString();
}

TEST_F(SafetyNetRun, CheckReportsWhatIsLeftBeforeAndNothingAfterWithoutWritingAnything)
{
    EXPECT_EQ(run({QStringLiteral("--check")}), 1);
    const QString before = program.standardOutput();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +2 +0  ZBYVA\n")).match(before).hasMatch())
        << before.toStdString();
    EXPECT_FALSE(program.hasRunLog());
    EXPECT_EQ(rateTenLeft(), "2");

    ASSERT_EQ(run({QStringLiteral("x")}), 0);
    EXPECT_EQ(run({QStringLiteral("--check")}), 0);
    const QString after = program.standardOutput();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +0 +0  OK\n")).match(after).hasMatch())
        << after.toStdString();
}

TEST(CheckCommand, WithoutAConnectionEndsWithTwo)
{
    InstalledProgram program;
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    program.start({QStringLiteral("--check")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Pripojeni se nezdarilo")));
    EXPECT_FALSE(program.hasRunLog());
}

} // namespace
