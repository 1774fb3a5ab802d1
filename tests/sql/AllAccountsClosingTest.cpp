// REC_DPH_UZAVRENIVSECHUCTU: every account open at the start is closed, nothing else.

#include "HotelRows.h"

#include "db/EngineError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class AllAccountsClosing : public testsupport::HotelRows {
protected:
    void SetUp() override { ASSERT_TRUE(install(5)) << logText().toStdString(); }

    void closeAll() { exec("execute procedure REC_DPH_UZAVRENIVSECHUCTU('31.12.2011')"); }

    std::int64_t openAccountOf(int client)
    {
        return integer("select CisloUctu from REC_CHECKHEAD where Status < 2 and CisloKlienta = "
                       + std::to_string(client));
    }
};

TEST_F(AllAccountsClosing, ClosesEveryOpenAccountAndNothingElse)
{
    addClient(1, "3");
    addClient(2, "3");
    addClient(3, "3");
    addAccount(7, "1", "CZK", "0");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");
    addAccount(8, "2", "CZK", "1", "-13000");
    addPayment(1, 8, 50, 50, "CZK");
    addAccount(9, "3", "CZK", "2", "-13000");
    addItem(2, 9, 1, 10, 10, "CZK", 14, "UB");
    addAccount(10, "3", "CZK", "NULL", "-13000");

    closeAll();

    for (int account : {7, 8}) {
        EXPECT_EQ(head(account, "Status"), "2") << account;
        EXPECT_EQ(head(account, "REC_DUZP"), "-13881") << account;
    }
    EXPECT_EQ(head(9, "DATUM_UZAVRENI"), "") << "a closed account is not visited";
    EXPECT_EQ(head(9, "REC_DUZP"), "-13000");
    EXPECT_EQ(head(10, "Status"), "");
    EXPECT_EQ(head(10, "REC_DUZP"), "-13000");
    EXPECT_EQ(count("REC_CHECKDTL where CisloUctu in (9, 10)"), 1);
    EXPECT_EQ(count("REC_PoklDenik where CisloUctu in (9, 10)"), 0);

    EXPECT_EQ(count("REC_CHECKHEAD"), 6);
    ASSERT_EQ(count("REC_CHECKHEAD where Status = 1"), 2) << "the new accounts stay open";
    EXPECT_EQ(count("REC_CHECKHEAD where Status = 1 and REC_DUZP = -13880"), 2);
    EXPECT_NEAR(balance(static_cast<int>(openAccountOf(1))), 100, 1e-9);
    EXPECT_NEAR(balance(static_cast<int>(openAccountOf(2))), -50, 1e-9);
    EXPECT_NEAR(balance(7), 0, 1e-9);
    EXPECT_NEAR(balance(8), 0, 1e-9);
}

TEST_F(AllAccountsClosing, SecondCallClosesTheNewAccountsOfTheFirst)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");

    closeAll();
    const auto first = openAccountOf(1);
    closeAll();
    const auto second = openAccountOf(1);

    EXPECT_NE(second, first);
    EXPECT_NE(second, 7);
    EXPECT_EQ(head(static_cast<int>(first), "Status"), "2");
    EXPECT_EQ(head(static_cast<int>(first), "REC_DUZP"), "-13881");
    EXPECT_EQ(count("REC_CHECKHEAD where Status < 2"), 1);
    EXPECT_NEAR(balance(static_cast<int>(first)), 0, 1e-9);
    EXPECT_NEAR(balance(static_cast<int>(second)), 100, 1e-9);
}

TEST_F(AllAccountsClosing, BalanceHandedToAnotherOpenAccountMovesOnWhenThatOneIsClosed)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");
    addAccount(8, "1", "CZK");
    addItem(2, 8, 1, 30, 30, "CZK", 14, "UB");

    closeAll();

    EXPECT_EQ(head(7, "Status"), "2");
    EXPECT_EQ(head(8, "Status"), "2");
    ASSERT_EQ(count("REC_CHECKHEAD where Status < 2"), 1);
    EXPECT_NEAR(balance(static_cast<int>(openAccountOf(1))), 130, 1e-9);
}

TEST_F(AllAccountsClosing, WithoutOpenAccountsChangesNothing)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK", "2", "-13000");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");

    closeAll();

    EXPECT_EQ(count("REC_CHECKHEAD"), 1);
    EXPECT_EQ(count("REC_CHECKDTL"), 1);
    EXPECT_EQ(count("REC_PoklDenik"), 0);
    EXPECT_EQ(head(7, "REC_DUZP"), "-13000");
    EXPECT_EQ(head(7, "DATUM_UZAVRENI"), "");
}

TEST_F(AllAccountsClosing, OneAccountWithoutNewAccountUndoesTheWholeRun)
{
    addClient(1, "3");
    addAccount(7, "1", "CZK");
    addItem(1, 7, 1, 100, 100, "CZK", 14, "UB");
    addAccount(8, "NULL", "CZK");
    addItem(2, 8, 1, 50, 50, "CZK", 14, "UB");

    EXPECT_FALSE(runner.ExecSql("execute procedure REC_DPH_UZAVRENIVSECHUCTU(\"31.12.2011\")"));

    EXPECT_TRUE(logText().contains("no new account for closed account 8")) << logText().toStdString();
    EXPECT_EQ(count("REC_CHECKHEAD"), 2);
    EXPECT_EQ(count("REC_CHECKHEAD where Status = 0"), 2);
    EXPECT_EQ(count("REC_CHECKDTL"), 2);
    EXPECT_EQ(count("REC_PoklDenik"), 0);
}

} // namespace
