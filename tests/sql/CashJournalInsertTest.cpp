// REC_PoklDenikInsert2: one cash-journal entry, the account stamp and the #G( tag.

#include "HotelRows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CashJournalInsert : public testsupport::HotelRows {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(install(1)) << logText().toStdString();
        addAccount(7, "NULL", "CZK");
        addAccount(8, "NULL", "EUR");
    }

    // Arguments after the procedure's own order; returns the rows the selectable form gives.
    db::ResultSet post(const std::string& service, const std::string& account, const std::string& homeAmount,
                       const std::string& currencyAmount, const std::string& currency, const std::string& sysInfo,
                       const std::string& rasterCode = "'XX'", const std::string& financialType = "5")
    {
        return rows("select OResultID from REC_PoklDenikInsert2(" + service + ", " + account + ", 3, " + homeAmount
                    + ", " + currencyAmount + ", " + currency + ", " + sysInfo + ", 'poznamka', 'RECEPCE', "
                    + rasterCode + ", " + financialType + ", '31.12.2011 12:00')");
    }

    std::string entry(const std::string& column)
    {
        return value("select " + column + " from REC_PoklDenik");
    }

    // The amount between the tag's brackets, read as a number.
    double taggedAmount()
    {
        const std::string sysInfo = entry("SysInfo");
        const auto open = sysInfo.find("#G(");
        const auto close = sysInfo.find("#G)");
        EXPECT_NE(open, std::string::npos) << sysInfo;
        EXPECT_NE(close, std::string::npos) << sysInfo;
        if (open == std::string::npos || close == std::string::npos)
            return 0;
        return std::stod(sysInfo.substr(open + 3, close - open - 3));
    }
};

// ---------- the entry written ----------

TEST_F(CashJournalInsert, WritesOneValidEntryWhoseIdIsItsSequenceNumber)
{
    const auto generatorBefore = integer("select gen_id(Rec_PoklDenik, 0) from rdb$database");
    db::ResultSet result = post("101", "7", "250", "250", "'CZK'", "'text'");

    ASSERT_EQ(result.rowCount(), 1u);
    const auto id = result.integer(0);
    EXPECT_EQ(id, generatorBefore + 1);
    EXPECT_EQ(count("REC_PoklDenik"), 1);
    EXPECT_EQ(integer("select Poradi from REC_PoklDenik"), id);
    EXPECT_EQ(integer("select ID from REC_PoklDenik"), id);
    EXPECT_EQ(entry("Status"), "0");
    EXPECT_EQ(entry("CisloPokladny"), "3");
    EXPECT_EQ(entry("CisloPokladnyPrvni"), "3");
    EXPECT_EQ(entry("CisloUctu"), "7");
    EXPECT_EQ(entry("CisloSluzby"), "101");
    EXPECT_EQ(entry("Mena"), "CZK");
    EXPECT_EQ(entry("Usr"), "RECEPCE");
    EXPECT_EQ(entry("Info"), "poznamka");
    EXPECT_EQ(entry("DatumPrvniOperace"), "31.12.2011 12:00:00");
    EXPECT_EQ(integer("select count(*) from REC_PoklDenik where DatumOperace > current_timestamp - 1"), 1);
}

TEST_F(CashJournalInsert, ExecutedFormReturnsTheEntryId)
{
    db::ResultSet result = rows("execute procedure REC_PoklDenikInsert2(101, 7, 3, 10, 10, 'CZK', '', '', 'U', NULL,"
                                " NULL, '1.1.2012')");
    ASSERT_EQ(result.rowCount(), 1u);
    EXPECT_EQ(result.integer(0), integer("select ID from REC_PoklDenik"));
}

TEST_F(CashJournalInsert, CurrencyAmountIsWrittenAsPassedWhateverTheTagSays)
{
    // service 101 has no G option: the tag is the home amount converted into EUR (250 / 25)
    post("101", "8", "250", "12.5", "'EUR'", "''");
    EXPECT_DOUBLE_EQ(number("select CastkaCizi from REC_PoklDenik"), 12.5);
    EXPECT_DOUBLE_EQ(number("select Castka from REC_PoklDenik"), 250);
    EXPECT_DOUBLE_EQ(taggedAmount(), 10.0);
}

TEST_F(CashJournalInsert, NegativeAmountsAreWrittenAndTaggedNegative)
{
    post("101", "7", "-1000", "-1000", "'CZK'", "'DPH 2011/2012 #D1014(5#D1014)'");
    EXPECT_DOUBLE_EQ(number("select Castka from REC_PoklDenik"), -1000);
    EXPECT_DOUBLE_EQ(taggedAmount(), -1000);
    EXPECT_EQ(entry("SysInfo").rfind("DPH 2011/2012 #D1014(5#D1014)#G(", 0), 0u) << entry("SysInfo");
}

// ---------- the #G( tag ----------

TEST_F(CashJournalInsert, OldTagIsRemovedAndTheNewOneAppendedAtTheEnd)
{
    post("101", "7", "40", "40", "'CZK'", "'pred #G(999.99#G) za'");
    const std::string sysInfo = entry("SysInfo");
    EXPECT_EQ(sysInfo.rfind("pred  za#G(", 0), 0u) << sysInfo;
    EXPECT_EQ(sysInfo.find("#G("), sysInfo.rfind("#G(")) << "exactly one tag: " << sysInfo;
    EXPECT_EQ(sysInfo.substr(sysInfo.size() - 3), "#G)");
    EXPECT_DOUBLE_EQ(taggedAmount(), 40);
}

TEST_F(CashJournalInsert, TextWithOnlyAnOpeningBracketKeepsIt)
{
    post("101", "7", "40", "40", "'CZK'", "'a #G(b'");
    EXPECT_EQ(entry("SysInfo").rfind("a #G(b#G(", 0), 0u) << entry("SysInfo");
}

TEST_F(CashJournalInsert, GOptionOnAnAccountOfTheSameCurrencyTagsThePassedAmountToTheNearestHundredth)
{
    // service 150 carries the G option; home amount deliberately unrelated to the EUR amount
    post("150", "8", "1", "10.006", "'EUR'", "''");
    EXPECT_NEAR(taggedAmount(), 10.01, 1e-9);
    EXPECT_NEAR(number("select CastkaCizi from REC_PoklDenik"), 10.006, 1e-9);
}

TEST_F(CashJournalInsert, GOptionInAnotherCurrencyIsConverted)
{
    // G option, but the operation is in CZK on a EUR account: 500 CZK is 20 EUR
    post("150", "8", "500", "500", "'CZK'", "''");
    EXPECT_NEAR(taggedAmount(), 20.0, 1e-9);
}

TEST_F(CashJournalInsert, AccountWithoutCurrencyCountsInTheHomeCurrency)
{
    exec("update REC_CHECKHEAD set Mena = NULL where CisloUctu = 8");
    // G option and a CZK operation: no conversion, the passed amount is tagged
    post("150", "8", "1", "77.7", "'CZK'", "''");
    EXPECT_NEAR(taggedAmount(), 77.7, 1e-9);
}

TEST_F(CashJournalInsert, TextThatLeavesNoRoomForTheTagFailsAndWritesNothing)
{
    const std::string full(245, 'x');
    EXPECT_ANY_THROW(post("101", "7", "1", "1", "'CZK'", "'" + full + "'"));
    EXPECT_EQ(count("REC_PoklDenik"), 0);
    EXPECT_EQ(head(7, "Datum_PoslOper"), "") << "the stamp is undone with the failed call";
}

// ---------- account ----------

TEST_F(CashJournalInsert, StampsTheAccountsLastOperation)
{
    post("101", "7", "1", "1", "'CZK'", "''");
    EXPECT_EQ(integer("select count(*) from REC_CHECKHEAD where CisloUctu = 7"
                      " and Datum_PoslOper > current_timestamp - 1"), 1);
    EXPECT_EQ(head(8, "Datum_PoslOper"), "");
}

TEST_F(CashJournalInsert, AccountZeroTouchesNoHeadAndGetsNoTag)
{
    addAccount(0, "NULL", "CZK");
    post("101", "0", "1", "1", "'CZK'", "'bez uctu'");
    EXPECT_EQ(entry("CisloUctu"), "");
    EXPECT_EQ(entry("SysInfo"), "bez uctu");
    EXPECT_EQ(head(0, "Datum_PoslOper"), "");
}

TEST_F(CashJournalInsert, NullAccountIsTaggedInTheHomeCurrency)
{
    // service 10 has the G option and the home currency equals the operation's: the passed amount is tagged
    post("10", "NULL", "1", "33.333", "'CZK'", "''");
    EXPECT_EQ(entry("CisloUctu"), "");
    EXPECT_NEAR(taggedAmount(), 33.33, 1e-9);
}

// ---------- operation code ----------

TEST_F(CashJournalInsert, TextBeginningWithPosGivesOperationCodeP)
{
    post("101", "0", "1", "1", "'CZK'", "'POS 12'");
    EXPECT_EQ(entry("KodOperace"), "P");
}

TEST_F(CashJournalInsert, OtherTextsGiveOperationCodeR)
{
    for (const std::string sysInfo : {"'pos 12'", "' POS'", "''", "NULL"}) {
        exec("delete from REC_PoklDenik");
        post("101", "0", "1", "1", "'CZK'", sysInfo);
        EXPECT_EQ(entry("KodOperace"), "R") << sysInfo;
    }
    EXPECT_EQ(entry("SysInfo"), "") << "a NULL text is written as the empty text";
    EXPECT_EQ(integer("select count(*) from REC_PoklDenik where SysInfo is null"), 0);
}

// ---------- service ----------

TEST_F(CashJournalInsert, ServiceZeroTakesRasterCodeAndFinancialTypeFromTheCaller)
{
    post("0", "7", "1", "1", "'CZK'", "''", "'XX'", "5");
    EXPECT_EQ(entry("CisloSluzby"), "");
    EXPECT_EQ(entry("Rastr"), "XX");
    EXPECT_EQ(entry("TypFin"), "5");
}

TEST_F(CashJournalInsert, ServiceZeroWithoutRasterCodeStillWrites)
{
    db::ResultSet result = post("0", "7", "1", "1", "'CZK'", "''", "NULL", "NULL");
    EXPECT_EQ(result.rowCount(), 1u);
    EXPECT_EQ(count("REC_PoklDenik where Rastr is null and TypFin is null"), 1);
}

TEST_F(CashJournalInsert, CatalogueServiceOverridesTheCallersRasterCodeAndFinancialType)
{
    post("150", "7", "1", "1", "'CZK'", "''", "'XX'", "5");
    EXPECT_EQ(entry("Rastr"), "HC");
    EXPECT_EQ(entry("TypFin"), "2");
}

TEST_F(CashJournalInsert, ServiceWithoutRasterCodeWritesNothingButTheStampRemains)
{
    const auto generatorBefore = integer("select gen_id(Rec_PoklDenik, 0) from rdb$database");
    for (const std::string service : {"50", "4711", "NULL"}) {
        db::ResultSet result = post(service, "7", "1", "1", "'CZK'", "''");
        EXPECT_EQ(result.rowCount(), 0u) << service;
    }
    db::ResultSet executed = rows("execute procedure REC_PoklDenikInsert2(50, 7, 3, 1, 1, 'CZK', '', '', 'U',"
                                  " 'XX', 1, '1.1.2012')");
    ASSERT_EQ(executed.rowCount(), 1u);
    EXPECT_TRUE(executed.isNull(0));
    EXPECT_EQ(count("REC_PoklDenik"), 0);
    EXPECT_EQ(integer("select gen_id(Rec_PoklDenik, 0) from rdb$database"), generatorBefore);
    EXPECT_NE(head(7, "Datum_PoslOper"), "");
}

} // namespace
