// The safety net as a hotel meets it, through its server: the check before and after, the
// backup through the server's own services manager, and the warning about the attachment that
// another program keeps open meanwhile.

#include "FreshDatabase.h"
#include "TestServer.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QProcess>
#include <QRegularExpression>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(SafetyNetThroughServer, CheckBackupAndAttachmentWarningGoThroughTheServer)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = (database.directory() / "hotel.fbk").string();
    // Another program keeps an attachment open, as the hotel system does at night.
    const server::HeldLock otherProgram(database.path(), "update POS_TAXES set PERCENTAGE = PERCENTAGE where 1 = 0");
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                              + "\r\n");

    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    EXPECT_FALSE(program.hasRunLog());

    EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral(
                  "^               \\| Pripojeno dalsich: 1 \\(SYSDBA@127\\.0\\.0\\.1/\\d+ \\S*isql-fb\\)$"))).size(),
              1)
        << entries.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(entries.contains(QStringLiteral("ZALOHA         | ") + QString::fromStdString(backup)));
    EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral("^ZALOHA OK      \\| [1-9]\\d* B, "))).size(), 1);
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));

    // The other attachment is reported but not counted: nothing of the update is left.
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 0);
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Pripojeno dalsich: 1")));

    // The backup restores through the same server, and holds the data as it was before the update.
    const std::string restored = (database.directory() / "restored.fdb").string();
    const QString service = QString::fromStdString(server::address("service_mgr"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("gbak"),
                                {QStringLiteral("-c"), QStringLiteral("-se"), service, QStringLiteral("-user"),
                                 QStringLiteral("SYSDBA"), QStringLiteral("-password"),
                                 QString::fromLatin1(server::kPassword), QString::fromStdString(backup),
                                 QString::fromStdString(restored)}),
              0);
    db::Connection copy;
    server::connect(copy, restored);
    EXPECT_EQ(copy.select("select count(*) from POS_TAXES where PERCENTAGE = 10").integer(0), 2);
    EXPECT_EQ(copy.select("select count(*) from FBS_VAT where VAT_RATE = 14").integer(0), 0);
}

} // namespace
