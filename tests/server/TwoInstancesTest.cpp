// Two instances against one database through the server: the second is refused.

#include "FreshDatabase.h"
#include "RowDump.h"
#include "TestServer.h"

#include "db/Connection.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(TwoInstances, TheSecondIsRefusedWithThreeWhileTheFirstHoldsBetweenCountAndInsert)
{
    const FreshDatabase database(HotelData::Demo);
    {
        db::Connection setUp;
        server::connect(setUp, database.path());
        server::slowDown(setUp, "FBS_VAT", "insert", 3); // holds the first between its count and its commit
    }
    const QByteArray settings = server::settingsFor(database.path());
    InstalledProgram first;
    first.writeSettingsText(settings);
    first.start({QStringLiteral("x")});
    server::waitForEntry(first, QStringLiteral("EXEC SQL       | insert into fbs_vat (id_vat,vat_rate) values ((select "
                                               "Max(id_vat) from fbs_vat)+1 ,14)"));

    InstalledProgram second;
    second.writeSettingsText(settings);
    second.start({QStringLiteral("x")});
    ASSERT_TRUE(second.endsByItself());
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_TRUE(second.standardError().contains(QStringLiteral("another update of this database is running")));
    EXPECT_EQ(second.logEntries(), QStringList{QStringLiteral("ERROR          | another update of this database is running")});

    ASSERT_TRUE(first.endsByItself());
    EXPECT_EQ(first.exitCode(), 0) << first.logEntries().join('\n').toStdString();

    db::Connection check;
    server::connect(check, database.path());
    EXPECT_EQ(dumpRows(check, "select count(*) from FBS_VAT where VAT_RATE = 14"), "1|\n");
}

TEST(TwoInstances, AfterTheFirstEndsTheNextRunsNormally)
{
    const FreshDatabase database(HotelData::Demo);
    const QByteArray settings = server::settingsFor(database.path());
    for (int run = 0; run < 2; ++run) {
        InstalledProgram program;
        program.writeSettingsText(settings);
        program.start({QStringLiteral("x")});
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), 0) << "run " << run << ": the claim was let go";
    }
}

} // namespace
