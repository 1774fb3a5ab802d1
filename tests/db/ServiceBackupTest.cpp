// The backup through the services manager: which one a connection string leads to, and what
// the service reports while it works.

#include "FreshDatabase.h"

#include "db/EngineError.h"
#include "db/ServiceBackup.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(ServiceTarget, FollowsTheHostOfTheConnectionString)
{
    struct Case {
        const char* connection;
        const char* serviceManager;
        const char* database;
    };
    const Case cases[] = {
        {"QVT", "service_mgr", "QVT"},
        {"/data/hotel.fdb", "service_mgr", "/data/hotel.fdb"},
        {"C:\\Kalmor\\hotel.fdb", "service_mgr", "C:\\Kalmor\\hotel.fdb"},
        {"C:/Kalmor/hotel.fdb", "service_mgr", "C:/Kalmor/hotel.fdb"},
        {"hotelserver:QVT", "hotelserver:service_mgr", "QVT"},
        {"hotelserver/3051:/data/hotel.fdb", "hotelserver/3051:service_mgr", "/data/hotel.fdb"},
        {"10.0.0.5:C:\\Kalmor\\hotel.fdb", "10.0.0.5:service_mgr", "C:\\Kalmor\\hotel.fdb"},
    };
    for (const Case& c : cases) {
        const db::ServiceTarget target = db::serviceTargetOf(c.connection);
        EXPECT_EQ(target.serviceManager, c.serviceManager) << c.connection;
        EXPECT_EQ(target.database, c.database) << c.connection;
    }
}

TEST(ServiceBackup, ReportsItsLinesOnlyToThoseWhoAskAndWritesTheSameEitherWay)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    const db::ServiceBackup backup(database.path(), "SYSDBA", "");
    const std::filesystem::path quiet = database.directory() / "quiet.fbk";
    const std::filesystem::path verbose = database.directory() / "verbose.fbk";

    backup.run(quiet.string(), {});
    std::vector<std::string> lines;
    backup.run(verbose.string(), [&](const std::string& line) { lines.push_back(line); });

    EXPECT_EQ(std::filesystem::file_size(quiet), std::filesystem::file_size(verbose));
    const auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("writing data for table POS_TAXES"));
    EXPECT_TRUE(has(std::to_string(std::filesystem::file_size(verbose)) + " bytes written"));
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) { return line.find('\n') != std::string::npos; }));
}

TEST(ServiceBackup, AFileThatCannotBeWrittenIsAnEngineError)
{
    const testsupport::FreshDatabase database;
    const db::ServiceBackup backup(database.path(), "SYSDBA", "");
    try {
        backup.run("/nonexistent-directory-of-dph2012/hotel.fbk", {});
        FAIL() << "no error";
    } catch (const db::EngineError& error) {
        EXPECT_NE(error.message().find("/nonexistent-directory-of-dph2012/hotel.fbk"), std::string::npos) << error.message();
    }
}

} // namespace
