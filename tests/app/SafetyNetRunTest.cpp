// The backup before an unattended update and `dph2012 --check`, as the installed program.

#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using testsupport::HotelData;

class SafetyNetRun : public testing::Test {
protected:
    SafetyNetRun()
    {
        program.writeSettings(QStringLiteral("QVT"));
        program.setFirebirdRoot(QString::fromStdString(root.path()));
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }
    // Detached again at once: the embedded engine lets one process at a time open the database.
    std::string rateTenLeft()
    {
        const std::string count = connection.select("select count(*) from pos_taxes where percentage = 10").text(0);
        connection.close();
        return count;
    }

    testsupport::FreshDatabase database{HotelData::Demo};
    testsupport::FirebirdRoot root{{{"QVT", database.path()}}};
    testsupport::InstalledProgram program;
    db::Connection connection;
};

TEST_F(SafetyNetRun, AFailedBackupRefusesWithThreeAndAGoodOneComesFirstWithProgressOnStandardError)
{
    const QString unwritable = QStringLiteral("/nonexistent-directory-of-dph2012/hotel.fbk");
    program.writeSettingsText("[Params]\r\nAlias=QVT\r\nBackup=" + unwritable.toUtf8() + "\r\n");
    EXPECT_EQ(program.run({QStringLiteral("x")}), 3);
    EXPECT_TRUE(program.standardError().contains(QString::fromUtf8("Záloha databáze se nezdařila")));
    EXPECT_EQ(rateTenLeft(), "2");
    QStringList log = program.logEntries(); // the entries themselves as the update's own tests have them
    EXPECT_TRUE(log.size() == 5 && log[4].startsWith(QStringLiteral("ZALOHA CHYBA   | "))) << log.join('\n').toStdString();

    const QString backup = QString::fromStdString((database.directory() / "hotel.fbk").string());
    program.writeSettingsText("[Params]\r\nAlias=QVT\r\nBackup=" + backup.toUtf8() + "\r\n");
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("dph2012: zaloha: ") + backup + QLatin1Char('\n')));
    log = program.logEntries().mid(5);
    ASSERT_GE(log.size(), 6);
    EXPECT_EQ(log[3], QStringLiteral("ZALOHA         | ") + backup);
    EXPECT_TRUE(log[4].startsWith(QStringLiteral("ZALOHA OK      | %1 B, ").arg(QFileInfo(backup).size()))) << log[4].toStdString();
    EXPECT_EQ(log[5], QStringLiteral("KROK 1         | "));
    EXPECT_EQ(rateTenLeft(), "0");
}

TEST_F(SafetyNetRun, CheckEndsWithTwoUnconnectedOneBeforeAndZeroAfterTheUpdateWithoutWritingAnything)
{
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 2);
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Pripojeni se nezdarilo")));

    program.writeSettings(QStringLiteral("QVT"));
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    const QString before = program.standardOutput();
    EXPECT_TRUE(before.contains(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +2 +0  ZBYVA\n")))) << before.toStdString();
    EXPECT_FALSE(program.hasRunLog());
    EXPECT_EQ(rateTenLeft(), "2");

    ASSERT_EQ(program.run({QStringLiteral("x")}), 0);
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 0);
    const QString after = program.standardOutput();
    EXPECT_TRUE(after.contains(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +0 +0  OK\n")))) << after.toStdString();
}

} // namespace
