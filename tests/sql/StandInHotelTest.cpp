// The stand-in hotel database keeps the promises that the update and its objects rely on; every
// other test trusts these procedures, so a broken one would make them prove nothing.

#include "HotelRows.h"

#include <gtest/gtest.h>

namespace {

class StandInHotel : public testsupport::HotelRows {
protected:
    StandInHotel() : HotelRows(testsupport::HotelData::Demo) {}
};

TEST_F(StandInHotel, PostingAccommodationChargesUncoveredNightsUpToTheDate)
{
    const db::ResultSet posted = rows("select * from Rec_MM_MarkujUbytovaniKlienta(501, \"31.12.2011\", 2, \"Internal\")");
    ASSERT_FALSE(posted.eof());
    EXPECT_EQ(posted.text(0), "5001"); // the payer's open account

    // Three nights (28. to 31.12.) of the lines that began before the date; the line from 1.1.2012 waits.
    EXPECT_EQ(value("select count(*) from REC_CHECKDTL where CisloRezervace = 1001"), "3");
    EXPECT_DOUBLE_EQ(number("select sum(Trzba) from REC_CHECKDTL where CisloRezervace = 1001"), 3600 + 900 + 90);
    EXPECT_EQ(value("select min(DPH) || '/' || max(DPH) from REC_CHECKDTL where CisloRezervace = 1001"), "0/10");
    EXPECT_EQ(value("select count(*) from REC_MM_REZDET where CisloRezervace = 1001 and MarkovanoDo = '31.12.2011'"), "3");
    EXPECT_EQ(value("select MarkovanoDo from REC_MM_REZDET where ID = 2004"), "");

    // Posting again up to the same date finds nothing left to charge.
    rows("select * from Rec_MM_MarkujUbytovaniKlienta(501, \"31.12.2011\", 2, \"Internal\")");
    EXPECT_EQ(value("select count(*) from REC_CHECKDTL where CisloRezervace = 1001"), "3");
}

TEST_F(StandInHotel, ClientAccountIsAnOpenOneOrANewOneAndNoneWithoutClient)
{
    addClient(7, "2");
    addAccount(70, "7", "CZK", "2");
    addAccount(71, "7", "CZK", "1");
    EXPECT_EQ(value("execute procedure REC_NajdiUcetKlienta(7, 'Host 7', 'F', 2, '')"), "71");

    exec("update REC_CHECKHEAD set Status = 2 where CisloUctu = 71");
    const std::int64_t fresh = integer("execute procedure REC_NajdiUcetKlienta(7, 'Host 7', 'F', 2, '')");
    EXPECT_GT(fresh, 71);
    EXPECT_EQ(head(static_cast<int>(fresh), "CisloKlienta || '/' || Status"), "7/0");

    EXPECT_EQ(value("execute procedure REC_NajdiUcetKlienta(NULL, NULL, NULL, 2, '')"), "");
}

TEST_F(StandInHotel, BalancesCountItemsUpAndPaymentsDownRoundedToFourDecimals)
{
    addAccount(80, "NULL", "CZK");
    addItem(901, 80, 1, 0.1, 0.1, "CZK", 10, "UB");
    addItem(902, 80, 1, 0.2, 0.2, "CZK", 10, "UB");
    addPayment(901, 80, 0.295, 0.295, "CZK");
    // 0.1 + 0.2 - 0.295 is 0.005000000000000004 in doubles: the closing compares it with 0.005.
    EXPECT_EQ(value("select case when OZustatek > 0.005 then 'above' else 'not above' end from REC_ZustatekUctu(80)"),
              "not above");
    EXPECT_EQ(value("select case when OZustatek > 0.005 then 'above' else 'not above' end from REC_ZustatekUctuG(80)"),
              "not above");
    EXPECT_EQ(value("select case when 0.1e0 + 0.2e0 - 0.295e0 > 0.005 then 'above' end from rdb$database"), "above");
    EXPECT_EQ(value("select OZustatek from REC_ZustatekUctu(81)"), "0");
}

TEST_F(StandInHotel, GrantGivesTheApplicationRoleItsRights)
{
    ASSERT_TRUE(install()) << logText().toStdString();
    EXPECT_TRUE(runner.ExecSql("execute PROCEDURE QVT_GENERAL_GRANT (\"VRX_APP_ROLE\")")) << logText().toStdString();
    EXPECT_GT(integer("select count(*) from RDB$USER_PRIVILEGES where RDB$USER = 'VRX_APP_ROLE'"
                      " and RDB$RELATION_NAME = 'REC_CHECKHEAD' and RDB$PRIVILEGE = 'U'"), 0);
    EXPECT_GT(integer("select count(*) from RDB$USER_PRIVILEGES where RDB$USER = 'VRX_APP_ROLE'"
                      " and RDB$RELATION_NAME = 'REC_DPH_UZAVRENIUCTU' and RDB$PRIVILEGE = 'X'"), 0);
}

} // namespace
