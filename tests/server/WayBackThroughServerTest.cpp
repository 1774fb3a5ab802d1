// The way back through a server on this machine: the database shut down for the moment its files
// are exchanged, both brought online, and another program's attachment refusing it.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"
#include "TestServer.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

EndState endStateThroughServer(const std::string& file)
{
    db::Connection connection;
    server::connect(connection, file);
    return nightEndState(connection);
}

TEST(WayBackThroughServer, PutsTheBackupBackKeepsTodaysOnlineBesideAndRefusesWhileAnotherProgramIsAttached)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = (database.directory() / "hotel.fbk").string();
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup) + "\r\n");
    const EndState before = endStateThroughServer(database.path());
    ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
    const EndState after = endStateThroughServer(database.path());
    ASSERT_NE(before.at("reservation lines"), after.at("reservation lines"));

    {
        const server::HeldLock otherProgram(database.path(), "update POS_TAXES set PERCENTAGE = PERCENTAGE where 1 = 0");
        EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3);
        EXPECT_TRUE(program.standardError().contains(QStringLiteral("isql-fb"))) << program.standardError().toStdString();
    }
    for (const auto& [part, rows] : endStateThroughServer(database.path()))
        EXPECT_EQ(rows, after.at(part)) << part;

    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    for (const auto& [part, rows] : endStateThroughServer(database.path()))
        EXPECT_EQ(rows, before.at(part)) << part;
    const QStringList kept = QDir(QString::fromStdString(database.directory().string()))
                                 .entryList({QStringLiteral("hotel-po-aktualizaci-*.fdb")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    for (const auto& [part, rows] : endStateThroughServer((database.directory() / kept.front().toStdString()).string()))
        EXPECT_EQ(rows, after.at(part)) << part;
}

} // namespace
