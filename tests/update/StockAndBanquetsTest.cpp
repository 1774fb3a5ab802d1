// The stock and banquet command on the demo hotel's food-and-beverage data.

#include "CommandFixture.h"

#include "commands/StockAndBanquets.h"

namespace {

class StockAndBanquetsTest : public testsupport::CommandTest {
protected:
    std::string vatOf(const std::string& table, const std::string& key)
    {
        return dump("select " + key + ", VAT from " + table + " order by " + key);
    }
};

TEST_F(StockAndBanquetsTest, LogsEachMarkSendsTheSixStatementsAndEnablesAllButtons)
{
    view.enabled[update::CommandButton::Stock] = true;
    EXPECT_TRUE(update::UpdateStockAndBanquets(session, view));

    const QStringList statements = {
        "update FBS_STOCK_ITM set ID_VAT = (select first 1 ID_VAT from FBS_VAT where VAT_RATE = 14) where ID_VAT in "
        "(select ID_VAT from FBS_VAT where VAT_RATE = 10) and exists (select 1 from FBS_VAT where VAT_RATE = 14)",
        "update FBS_PROD_LIST_ITM A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select B.STO_DATE from "
        "FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\"",
        "update FBS_PROD_LIST_ITM_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select B.STO_DATE from "
        "FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\"",
        "update FBS_PROD_LISTS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select B.STO_DATE from "
        "FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\"",
        "update FBS_PROD_PROCS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select PROC_TYPE from "
        "FBS_PROD_PROCS B where A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)",
        "update FBS_PROD_ITEMS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select PROC_TYPE from "
        "FBS_PROD_PROCS B where A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)",
    };
    QStringList expected = {QStringLiteral("FBS Start")};
    for (int mark = 0; mark <= 12; ++mark) {
        expected.append(QStringLiteral("FBS %1").arg(mark));
        if (mark % 2 == 0 && mark <= 10)
            expected.append(QStringLiteral("EXEC SQL       | ") + statements.at(mark / 2));
    }
    expected.append(QStringLiteral("FBS Konec"));
    EXPECT_EQ(entries(), expected);

    QStringList events = {"disable RunAll", "disable Step7", "disable Close", "disable Stock", "indicator on", "maximum 12"};
    for (int mark = 0; mark <= 12; ++mark)
        events.append(QStringLiteral("progress %1").arg(mark));
    events += QStringList{"info 5", "indicator off", "enable RunAll", "enable Step7", "enable Close", "enable Stock"};
    EXPECT_EQ(view.events, events) << "no repaints between the statements";
    EXPECT_EQ(session.runner().failureCount(), 0);
}

TEST_F(StockAndBanquetsTest, MovesRateTenFromNewYearDocumentsAndBanquetProductionOnly)
{
    exec("insert into FBS_VAT (ID_VAT, VAT_RATE, NAME) values (4, 14, 'Snizena 2012')");
    const std::string listsBefore = vatOf("FBS_PROD_LISTS_R", "ID_LIST_R");
    ASSERT_TRUE(update::UpdateStockAndBanquets(session, view));

    // Rate 10 is FBS_VAT 2; item 7 has none.
    EXPECT_EQ(dump("select ID_STOCK_ITM, ID_VAT from FBS_STOCK_ITM order by ID_STOCK_ITM"),
              "1|4|\n2|3|\n3|4|\n4|1|\n5|3|\n6|4|\n7|<null>|\n");
    // Vouchers 3 and 4 are stocked in 2012; voucher 2 late on 31.12.2011.
    EXPECT_EQ(vatOf("FBS_PROD_LIST_ITM", "ID_ITEM"), "1|10|\n2|20|\n3|10|\n4|14|\n5|20|\n6|14|\n7|<null>|\n");
    EXPECT_EQ(vatOf("FBS_PROD_LIST_ITM_R", "ID_ITEM"), "1|10|\n2|10|\n3|14|\n4|20|\n5|<null>|\n");
    EXPECT_EQ(vatOf("FBS_PROD_LISTS_R", "ID_LIST_R"), "1|10|\n2|20|\n3|10|\n4|14|\n5|14|\n6|<null>|\n");
    EXPECT_NE(vatOf("FBS_PROD_LISTS_R", "ID_LIST_R"), listsBefore);
    // Production processes 1 and 2 are banquets (types 20, 21); 3 and 4 are not.
    EXPECT_EQ(vatOf("FBS_PROD_PROCS_R", "ID_PROC_R"), "1|14|\n2|20|\n3|14|\n4|10|\n5|<null>|\n");
    EXPECT_EQ(vatOf("FBS_PROD_ITEMS_R", "ID_ITEM_R"), "1|14|\n2|20|\n3|14|\n4|10|\n5|<null>|\n");
}

// Run before the full update has added the rate, the command must not take the items' rate away.
TEST_F(StockAndBanquetsTest, WithoutARateFourteenRowStockItemsKeepTheirRateAndTheCommandGoesOn)
{
    ASSERT_TRUE(update::UpdateStockAndBanquets(session, view));
    EXPECT_EQ(dump("select ID_STOCK_ITM, ID_VAT from FBS_STOCK_ITM where ID_STOCK_ITM in (1, 2) order by ID_STOCK_ITM"),
              "1|2|\n2|3|\n");
    EXPECT_EQ(entries().last(), QStringLiteral("FBS Konec"));
    EXPECT_EQ(value("select VAT from FBS_PROD_LIST_ITM where ID_ITEM = 4"), "14");
}

} // namespace
