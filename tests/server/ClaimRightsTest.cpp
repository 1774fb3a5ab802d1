// The claim with a server user who may not alter the database: no claim, and nothing else lost.

#include "FreshDatabase.h"
#include "TestServer.h"

#include "db/Connection.h"
#include "db/DatabaseClaim.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"

#include <gtest/gtest.h>

namespace {

TEST(ClaimRights, AUserWithoutTheRightGoesOnUnclaimedAndStillReconnects)
{
    const testsupport::FreshDatabase database;
    db::Connection hotel;
    hotel.setDatabase(testsupport::server::address(database.path()));
    hotel.setUser("HOTEL");
    hotel.setPassword("hotel1");
    hotel.open();
    EXPECT_THROW(hotel.claim(), db::EngineError);
    EXPECT_FALSE(hotel.holdsClaim());

    hotel.close();
    EXPECT_EQ(hotel.select("select 1 from rdb$database").text(0), "1") << "reconnecting is not refused";
    EXPECT_FALSE(hotel.holdsClaim());

    db::Connection sysdba;
    testsupport::server::connect(sysdba, database.path());
    EXPECT_NO_THROW(sysdba.claim()) << "nobody holds it";
}

} // namespace
