// REC_DPH_UzavreniUctu: the balance of a closed account moves to the client's new account.

#include "HotelRows.h"

#include "db/EngineError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kMarker7 = "DPH 2011/2012 #D1014(7#D1014)";
const std::string kBalancingText = "DPH ~DH~ 2011/2012 ";

class AccountClosing : public testsupport::HotelRows {
protected:
    void SetUp() override { ASSERT_TRUE(install(installed)) << logText().toStdString(); }

    int close(int account)
    {
        return static_cast<int>(integer("select OCisloUctu from REC_DPH_UzavreniUctu(" + std::to_string(account)
                                         + ", '31.12.2011')"));
    }

    std::string journal(int account, const std::string& column)
    {
        return value("select " + column + " from REC_PoklDenik where CisloUctu = " + std::to_string(account));
    }
    std::string item(const std::string& condition, const std::string& column)
    {
        return value("select " + column + " from REC_CHECKDTL where " + condition);
    }
    double itemNumber(const std::string& condition, const std::string& column)
    {
        return number("select " + column + " from REC_CHECKDTL where " + condition);
    }
    std::int64_t items(int account) { return count("REC_CHECKDTL where CisloUctu = " + std::to_string(account)); }
    std::int64_t entries(int account) { return count("REC_PoklDenik where CisloUctu = " + std::to_string(account)); }

    // The closing procedure and what it calls, without the account head trigger.
    int installed = 3;
};

// ---------- positive balance: cash-journal entries ----------

TEST_F(AccountClosing, PositiveHomeBalanceMovesByTwoCashJournalEntries)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");

    const int newAccount = close(7);

    ASSERT_NE(newAccount, 7);
    EXPECT_EQ(head(newAccount, "CisloKlienta"), "1");
    ASSERT_EQ(entries(7), 1);
    EXPECT_EQ(journal(7, "CisloSluzby"), "101");
    EXPECT_DOUBLE_EQ(number("select Castka from REC_PoklDenik where CisloUctu = 7"), 1000);
    EXPECT_DOUBLE_EQ(number("select CastkaCizi from REC_PoklDenik where CisloUctu = 7"), 1000);
    EXPECT_EQ(journal(7, "Mena"), "CZK");
    EXPECT_EQ(journal(7, "CisloPokladny"), "3");
    EXPECT_EQ(journal(7, "Usr"), "SYSDBA");
    EXPECT_EQ(journal(7, "Rastr"), "HP");
    EXPECT_EQ(journal(7, "TypFin"), "1");
    EXPECT_EQ(journal(7, "DatumPrvniOperace"), "31.12.2011 12:00:00");
    EXPECT_EQ(journal(7, "SysInfo").rfind(kMarker7 + "#G(", 0), 0u) << journal(7, "SysInfo");

    ASSERT_EQ(entries(newAccount), 1);
    EXPECT_EQ(journal(newAccount, "CisloSluzby"), "101");
    EXPECT_DOUBLE_EQ(number("select Castka from REC_PoklDenik where CisloUctu = " + std::to_string(newAccount)), -1000);
    EXPECT_DOUBLE_EQ(number("select CastkaCizi from REC_PoklDenik where CisloUctu = " + std::to_string(newAccount)),
                     -1000);
    EXPECT_EQ(journal(newAccount, "DatumPrvniOperace"), "1.1.2012 12:00:00");
    EXPECT_EQ(journal(newAccount, "SysInfo").rfind(kMarker7 + "#G(", 0), 0u) << "the marker names the closed account";

    EXPECT_NEAR(balance(7), 0, 1e-9);
    EXPECT_NEAR(balanceInAccountCurrency(7), 0, 1e-9);
    EXPECT_NEAR(balance(newAccount), 1000, 1e-9);
    EXPECT_EQ(count("REC_CHECKDTL where SysInfo = '" + kBalancingText + "'"), 0);
    EXPECT_EQ(items(7), 1) << "no item moves between the accounts";
    EXPECT_EQ(items(newAccount), 0);
}

TEST_F(AccountClosing, ForeignPositiveBalanceUsesService150AndClearsTheExchangeRateDifference)
{
    addClient(1, "3");
    addAccount(8, "1", "EUR");
    // 40 EUR booked as 990 CZK; today's rate makes them 1000 CZK
    addItem(1, 8, 1, 990, 40, "EUR", 14, "UB");

    const int newAccount = close(8);

    ASSERT_EQ(entries(8), 1);
    EXPECT_EQ(journal(8, "CisloSluzby"), "150");
    EXPECT_DOUBLE_EQ(number("select Castka from REC_PoklDenik where CisloUctu = 8"), 1000);
    EXPECT_DOUBLE_EQ(number("select CastkaCizi from REC_PoklDenik where CisloUctu = 8"), 40);
    EXPECT_EQ(journal(8, "Mena"), "EUR");
    EXPECT_EQ(journal(8, "Rastr"), "HC");
    EXPECT_EQ(journal(8, "TypFin"), "2");
    EXPECT_EQ(journal(newAccount, "CisloSluzby"), "150");
    EXPECT_DOUBLE_EQ(number("select CastkaCizi from REC_PoklDenik where CisloUctu = " + std::to_string(newAccount)),
                     -40);
    EXPECT_EQ(journal(newAccount, "Mena"), "EUR");
    // the exchange-rate difference is booked, so nothing is left for a balancing item
    EXPECT_EQ(count("REC_CHECKDTL where CisloUctu = 8 and CisloSluzby = 997"), 1);
    EXPECT_EQ(count("REC_CHECKDTL where SysInfo = '" + kBalancingText + "'"), 0);
    EXPECT_NEAR(balance(8), 0, 1e-9);
    EXPECT_NEAR(balanceInAccountCurrency(8), 0, 1e-9);
}

TEST_F(AccountClosing, AccountWithoutCurrencyTakesTheForeignCurrencyService)
{
    addClient(1, "3");
    addAccount(7, "1", "");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");

    close(7);

    EXPECT_EQ(journal(7, "CisloSluzby"), "150");
}

// ---------- negative balance: deposit items ----------

TEST_F(AccountClosing, NegativeBalanceMovesByTwoDepositItemsAtRate10)
{
    exec("update CISSLUZ set DPH = 14 where CisloSluzby = 343");
    addClient(1, "3");
    addAccount(8, "1", "EUR");
    addItem(1, 8, 1, 1000, 40, "EUR", 14, "UB");
    addPayment(1, 8, 2500, 100, "EUR");

    const int newAccount = close(8);

    const std::string transferOut = "CisloUctu = 8 and SysInfo = 'DPH 2011/2012 #D1014(8#D1014)'";
    ASSERT_EQ(count("REC_CHECKDTL where " + transferOut), 1);
    EXPECT_EQ(item(transferOut, "CisloSluzby"), "343");
    EXPECT_DOUBLE_EQ(itemNumber(transferOut, "Trzba"), 1500);
    EXPECT_DOUBLE_EQ(itemNumber(transferOut, "TrzbaGar"), 60);
    EXPECT_EQ(item(transferOut, "Mena"), "EUR");
    EXPECT_EQ(item(transferOut, "DPH"), "10");
    EXPECT_EQ(item(transferOut, "CisloPokladny"), "3");
    EXPECT_EQ(item(transferOut, "Usr"), "SYSDBA");

    const std::string mirror = "CisloUctu = " + std::to_string(newAccount);
    ASSERT_EQ(items(newAccount), 1);
    EXPECT_EQ(item(mirror, "SysInfo"), "DPH 2011/2012 #D1014(8#D1014)");
    EXPECT_EQ(item(mirror, "CisloSluzby"), "343");
    EXPECT_DOUBLE_EQ(itemNumber(mirror, "Trzba"), -1500);
    EXPECT_DOUBLE_EQ(itemNumber(mirror, "TrzbaGar"), -60);
    EXPECT_EQ(item(mirror, "DPH"), "10");

    EXPECT_EQ(count("REC_PoklDenik"), 1) << "no cash-journal entry for a deposit";
    EXPECT_NEAR(balance(8), 0, 1e-9);
    EXPECT_NEAR(balanceInAccountCurrency(8), 0, 1e-9);
    EXPECT_NEAR(balance(newAccount), -1500, 1e-9);
}

TEST_F(AccountClosing, NegativeHomeBalanceAlsoUsesService343)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addPayment(1, 7, 300, 300, "CZK");

    const int newAccount = close(7);

    EXPECT_EQ(item("CisloUctu = 7", "CisloSluzby"), "343");
    EXPECT_EQ(item("CisloUctu = 7", "SysInfo"), kMarker7);
    EXPECT_EQ(item("CisloUctu = " + std::to_string(newAccount), "SysInfo"), kMarker7);
    EXPECT_NEAR(balance(newAccount), -300, 1e-9);
}

// ---------- zero balance ----------

TEST_F(AccountClosing, ZeroBalanceWritesNoTransferEntriesButStillClosesAndDates)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 500, 500, "CZK", 14, "UB");
    addPayment(1, 7, 500, 500, "CZK");

    const int newAccount = close(7);

    EXPECT_EQ(count("REC_PoklDenik"), 1);
    EXPECT_EQ(count("REC_CHECKDTL"), 1);
    EXPECT_EQ(head(7, "Status"), "2");
    EXPECT_EQ(head(7, "REC_DUZP"), "-13881");
    EXPECT_EQ(head(newAccount, "Status"), "1");
    EXPECT_EQ(head(newAccount, "REC_DUZP"), "-13880");
}

// ---------- remainder and balancing item ----------

TEST_F(AccountClosing, RemainderOfExactly0005WritesNoBalancingItem)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    // home and account amounts 0.005 apart: 0.005 CZK stays after the transfer-out entry
    addItem(1, 7, 1, 100.005, 100, "CZK", 14, "UB");

    close(7);

    EXPECT_NEAR(balance(7), 0.005, 1e-9);
    EXPECT_EQ(count("REC_CHECKDTL where SysInfo = '" + kBalancingText + "'"), 0);
}

TEST_F(AccountClosing, RemainderAbove0005InOneCurrencyIsClearedWithBothRemaindersNegated)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 100.006, 100, "CZK", 14, "UB");

    const int newAccount = close(7);

    const std::string balancing = "SysInfo = '" + kBalancingText + "'";
    ASSERT_EQ(count("REC_CHECKDTL where " + balancing), 1);
    EXPECT_EQ(item(balancing, "CisloUctu"), "7");
    EXPECT_EQ(item(balancing, "CisloSluzby"), "998");
    EXPECT_NEAR(itemNumber(balancing, "Trzba"), -0.006, 1e-9);
    EXPECT_NEAR(itemNumber(balancing, "TrzbaGar"), 0, 1e-9);
    EXPECT_EQ(item(balancing, "DPH"), "10") << "the balancing service's own rate is 0";
    EXPECT_EQ(item(balancing, "CisloPokladny"), "3");
    EXPECT_NEAR(balance(7), 0, 1e-9);
    EXPECT_NEAR(balance(newAccount), 100, 1e-9) << "the remainder is not carried over";
}

TEST_F(AccountClosing, HomeBalancingItemFallsBackToTheForeignCurrencyService)
{
    exec("delete from QVT_KONFIG where ITEM = 'REC_ZO_Polozka'");
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 100.006, 100, "CZK", 14, "UB");

    close(7);

    EXPECT_EQ(item("SysInfo = '" + kBalancingText + "'", "CisloSluzby"), "999");
}

TEST_F(AccountClosing, ForeignBalanceThatNoEntryTookIsClearedOnTheOldAccountOnly)
{
    exec("update CISSLUZ set KodRastru = NULL where CisloSluzby = 150");
    addClient(1, "3");
    addAccount(8, "1", "EUR");
    addItem(1, 8, 1, 1000, 40, "EUR", 14, "UB");

    const int newAccount = close(8);

    EXPECT_EQ(count("REC_PoklDenik"), 0);
    const std::string balancing = "SysInfo = '" + kBalancingText + "'";
    ASSERT_EQ(count("REC_CHECKDTL where " + balancing), 1);
    EXPECT_EQ(item(balancing, "CisloSluzby"), "999") << "a foreign account never takes REC_ZO_Polozka";
    EXPECT_DOUBLE_EQ(itemNumber(balancing, "Trzba"), -1000);
    EXPECT_DOUBLE_EQ(itemNumber(balancing, "TrzbaGar"), -40);
    EXPECT_EQ(item(balancing, "Mena"), "EUR");
    EXPECT_EQ(items(newAccount), 0);
    EXPECT_EQ(entries(newAccount), 0);
}

// ---------- cash desk ----------

TEST_F(AccountClosing, CashDeskFallsBackToTheLowestReceptionThenTheLowestPositiveUnitThenNone)
{
    struct Case {
        int account;
        std::string clientDesk;
        std::string before;
        std::string expected;
    };
    const Case cases[] = {
        {11, "3", "", "3"},
        {12, "5", "", "2"},
        {13, "", "", "2"},
        {14, "5", "update QVT_BU set BU_TYPE = 'P' where BU_TYPE = 'R'", "1"},
        {15, "3", "delete from QVT_BU where REC_NUM > 0", ""},
    };
    for (const Case& c : cases) {
        if (!c.before.empty())
            exec(c.before);
        addClient(c.account, c.clientDesk);
        addAccount(c.account, std::to_string(c.account), "CZK");
        addItem(c.account, c.account, 1, 100, 100, "CZK", 14, "UB");

        const int newAccount = close(c.account);

        EXPECT_EQ(head(c.account, "CisloPokladnyUZ"), c.expected) << c.account;
        EXPECT_EQ(journal(c.account, "CisloPokladny"), c.expected) << c.account;
        EXPECT_EQ(journal(newAccount, "CisloPokladny"), c.expected) << c.account;
    }
}

// ---------- account heads ----------

TEST_F(AccountClosing, OldAccountIsClosedOnTheDayAndTheNewOneOpenFromTheNextDay)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK", "0", "-13000");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");

    const int newAccount = close(7);

    EXPECT_EQ(head(7, "Status"), "2");
    EXPECT_EQ(integer("select count(*) from REC_CHECKHEAD where CisloUctu = 7"
                      " and DATUM_UZAVRENI > current_timestamp - 1"), 1);
    EXPECT_EQ(head(7, "CisloPokladnyUZ"), "3");
    EXPECT_EQ(head(7, "REC_DUZP"), "-13881");
    EXPECT_EQ(head(newAccount, "Status"), "1");
    EXPECT_EQ(head(newAccount, "REC_DUZP"), "-13880");
}

TEST_F(AccountClosing, ReturnsOneRowWithTheAccountThatReceivedTheBalance)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addAccount(20, "1", "CZK");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");
    addItem(2, 20, 10, 150, 150, "CZK", 10, "SN");

    db::ResultSet result = rows("select * from REC_DPH_UzavreniUctu(7, '31.12.2011')");

    ASSERT_EQ(result.rowCount(), 1u);
    ASSERT_EQ(result.columnNames().size(), 1u);
    EXPECT_EQ(result.columnNames()[0], "OCISLOUCTU");
    EXPECT_EQ(result.integer(0), 20) << "the client's open account receives the balance";
    EXPECT_EQ(entries(20), 1);
    EXPECT_EQ(items(20), 1);
    EXPECT_EQ(head(20, "Status"), "1");
    EXPECT_NEAR(balance(20), 250, 1e-9);
}

TEST_F(AccountClosing, AlreadyClosedAccountIsClosedAgainWithWhatIsLeft)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK", "2");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");

    const int newAccount = close(7);

    EXPECT_EQ(head(7, "Status"), "2");
    EXPECT_EQ(head(7, "CisloPokladnyUZ"), "3");
    EXPECT_NEAR(balance(newAccount), 100, 1e-9);
}

// ---------- no new account ----------

TEST_F(AccountClosing, NoNewAccountFailsTheWholeCallAndUndoesThePositiveTransfer)
{
    addAccount(7, "NULL", "CZK");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");

    const QString result = runner.SelectValue("select OCisloUctu from REC_DPH_UzavreniUctu(7, \"31.12.2011\")");

    EXPECT_EQ(result, update::kFailMarker);
    EXPECT_TRUE(logText().contains("no new account for closed account 7")) << logText().toStdString();
    EXPECT_EQ(count("REC_PoklDenik"), 0);
    EXPECT_EQ(count("REC_CHECKDTL"), 1);
    EXPECT_EQ(count("REC_CHECKHEAD"), 1);
    EXPECT_EQ(head(7, "Status"), "0");
    EXPECT_EQ(head(7, "DATUM_UZAVRENI"), "");
    EXPECT_EQ(head(7, "CisloPokladnyUZ"), "");
    EXPECT_EQ(head(7, "REC_DUZP"), "");
    EXPECT_EQ(head(7, "Datum_PoslOper"), "");
    EXPECT_NEAR(balance(7), 1000, 1e-9);
}

TEST_F(AccountClosing, NoNewAccountUndoesTheNegativeTransferAndTheBalancingItem)
{
    addAccount(7, "NULL", "CZK");
    addItem(1, 7, 1, 100.5, 100, "CZK", 14, "UB");
    addPayment(1, 7, 700, 700, "CZK");

    EXPECT_THROW(close(7), db::EngineError);

    EXPECT_EQ(count("REC_CHECKDTL"), 1);
    EXPECT_EQ(count("REC_CHECKHEAD"), 1);
    EXPECT_EQ(head(7, "Status"), "0");
    EXPECT_NEAR(balance(7), -599.5, 1e-9);
}

TEST_F(AccountClosing, NoNewAccountFailureNamesAnyAccountNumber)
{
    // Long numbers and a NULL account must fail in the same clear way as short ones.
    addAccount(2147483647, "NULL", "CZK");
    addItem(1, 2147483647, 1, 10, 10, "CZK", 14, "UB");
    EXPECT_EQ(runner.SelectValue("select OCisloUctu from REC_DPH_UzavreniUctu(2147483647, \"31.12.2011\")"),
              update::kFailMarker);
    EXPECT_EQ(runner.SelectValue("select OCisloUctu from REC_DPH_UzavreniUctu(NULL, \"31.12.2011\")"),
              update::kFailMarker);
    const QString log = logText();
    EXPECT_TRUE(log.contains("no new account for closed account 2147483647")) << log.toStdString();
    EXPECT_TRUE(log.contains("no new account for closed account NULL")) << log.toStdString();
    for (const QString& line : log.split("\r\n")) {
        if (line.contains("ENGINE ERROR")) {
            EXPECT_FALSE(line.contains("truncation")) << line.toStdString();
        }
    }
    EXPECT_EQ(head(2147483647, "Status"), "0");
    EXPECT_EQ(count("REC_CHECKHEAD"), 1);
}

TEST_F(AccountClosing, AccountThatDoesNotExistFailsAndLeavesNoAccount)
{
    EXPECT_THROW(close(99), db::EngineError);
    EXPECT_EQ(count("REC_CHECKHEAD"), 0);
    EXPECT_EQ(count("REC_CHECKDTL"), 0);
}

// ---------- with the account head trigger ----------

class AccountClosingWithTrigger : public AccountClosing {
protected:
    AccountClosingWithTrigger() { installed = 5; }

    std::string rate(int item) { return value("select DPH from REC_CHECKDTL where ID = " + std::to_string(item)); }
};

TEST_F(AccountClosingWithTrigger, DepositEndsAt10OnTheOldAccountAndIsRebookedTo14OnTheNewOne)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK", "0", "-13881");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");
    addItem(2, 7, 32, 100, 100, "CZK", 14, "ZZ");
    addItem(3, 7, 30, 200, 200, "CZK", 20, "MB");
    addPayment(1, 7, 2000, 2000, "CZK");
    addAccount(20, "1", "CZK", "0", "-13881");
    addItem(4, 20, 10, 150, 150, "CZK", 10, "SN");
    addItem(5, 20, 1, 300, 300, "CZK", 10, "");

    const int newAccount = close(7);
    ASSERT_EQ(newAccount, 20);

    EXPECT_EQ(rate(1), "10");
    EXPECT_EQ(rate(2), "14") << "ZZ items keep their rate";
    EXPECT_EQ(rate(3), "20");
    EXPECT_EQ(item("CisloUctu = 7 and SysInfo = '" + kMarker7 + "'", "DPH"), "10");
    EXPECT_EQ(count("REC_CHECKDTL where CisloUctu = 7 and SysInfo like '%#Pz1014(%'"), 0);

    EXPECT_EQ(rate(4), "14");
    EXPECT_EQ(rate(5), "10") << "items without raster code keep their rate";
    const std::string mirror = "CisloUctu = 20 and SysInfo = '" + kMarker7 + "'";
    ASSERT_EQ(count("REC_CHECKDTL where " + mirror), 1);
    EXPECT_EQ(item(mirror, "DPH"), "10");
    const std::string pair = "CisloUctu = 20 and SysInfo = 'DPH 2011/2012 #Pz1014(" + item(mirror, "ID") + "#Pz1014)'";
    ASSERT_EQ(count("REC_CHECKDTL where " + pair), 2);
    EXPECT_NEAR(number("select Trzba from REC_CHECKDTL where " + pair + " and DPH = 10"), 700, 1e-9);
    EXPECT_NEAR(number("select Trzba from REC_CHECKDTL where " + pair + " and DPH = 14"), -700, 1e-9);
    EXPECT_NEAR(balance(20), 150 + 300 - 700, 1e-9);
    EXPECT_EQ(head(7, "REC_DUZP"), "-13881");
    EXPECT_EQ(head(20, "REC_DUZP"), "-13880");
}

TEST_F(AccountClosingWithTrigger, PaidAccountGoesTo10AndTheNewAccountTo14WithoutRebooking)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");
    addAccount(20, "1", "CZK");
    addItem(2, 20, 10, 150, 150, "CZK", 10, "SN");

    close(7);

    EXPECT_EQ(rate(1), "10");
    EXPECT_EQ(rate(2), "14");
    EXPECT_EQ(count("REC_CHECKDTL where SysInfo like '%#Pz1014(%'"), 0);
    EXPECT_EQ(count("REC_PoklDenik"), 2);
}

} // namespace
