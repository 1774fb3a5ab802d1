// Which services manager a connection string leads to, and the database's name there.

#include "db/ServiceBackup.h"

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

} // namespace
