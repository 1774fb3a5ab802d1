// The database-wide claim through the server: a second instance is refused, a user who may not
// alter the database goes on unclaimed.

#include "FreshDatabase.h"
#include "RowDump.h"
#include "TestServer.h"

#include "db/Connection.h"
#include "db/DatabaseClaim.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(TwoInstances, TheSecondIsRefusedWithThreeWhileTheFirstHoldsBetweenCountAndInsertAndTheNextRunsNormally)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection check;
    server::connect(check, database.path());
    server::slowDown(check, "FBS_VAT", "insert", 3); // holds the first between its count and its commit
    check.close();
    const QByteArray settings = server::settingsFor(database.path());
    InstalledProgram first;
    first.writeSettingsText(settings);
    first.start({QStringLiteral("x")});
    server::waitForEntry(first, QStringLiteral("EXEC SQL       | insert into fbs_vat (id_vat,vat_rate) values ((select "
                                               "Max(id_vat) from fbs_vat)+1 ,14)"));

    InstalledProgram second;
    second.writeSettingsText(settings);
    EXPECT_EQ(second.run({QStringLiteral("x")}), 3);
    EXPECT_TRUE(second.standardError().contains(QStringLiteral("another update of this database is running")));
    EXPECT_EQ(second.logEntries(), QStringList{QStringLiteral("ERROR          | another update of this database is running")});

    ASSERT_TRUE(first.endsByItself());
    EXPECT_EQ(first.exitCode(), 0) << first.logEntries().join('\n').toStdString();
    EXPECT_EQ(dumpRows(check, "select count(*) from FBS_VAT where VAT_RATE = 14"), "1|\n");
    EXPECT_EQ(second.run({QStringLiteral("x")}), 0) << "the claim was let go";
}

TEST(ClaimRights, AUserWithoutTheRightGoesOnUnclaimedAndStillReconnects)
{
    const FreshDatabase database;
    db::Connection hotel;
    hotel.setDatabase(server::address(database.path()));
    hotel.setUser("HOTEL");
    hotel.setPassword("hotel1");
    hotel.open();
    EXPECT_THROW(hotel.claim(), db::EngineError);
    EXPECT_FALSE(hotel.holdsClaim());

    hotel.close();
    EXPECT_EQ(hotel.select("select 1 from rdb$database").text(0), "1") << "reconnecting is not refused";
    EXPECT_FALSE(hotel.holdsClaim());

    db::Connection sysdba;
    server::connect(sysdba, database.path());
    EXPECT_NO_THROW(sysdba.claim()) << "nobody holds it";
}

} // namespace
