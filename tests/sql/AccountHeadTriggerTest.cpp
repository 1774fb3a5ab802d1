// REC_CHECKHEAD_DPH_TRIGGER installed with the other server-side objects into a fresh stand-in hotel
// database, set off by updates of account heads.

#include "ScriptDatabase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kBefore2012 = "-13881"; // 31.12.2011
const std::string k2012 = "-13880";       // 1.1.2012

class AccountHeadTrigger : public testsupport::ScriptDatabase {
protected:
    void SetUp() override { ASSERT_TRUE(install(5)) << logText().toStdString(); }

    void openAccount(int account, const std::string& status, const std::string& duzp)
    {
        exec("insert into REC_CHECKHEAD (CisloUctu, CisloKlienta, Mena, Status, REC_DUZP) values ("
            + std::to_string(account) + ", 77, 'CZK', " + status + ", " + duzp + ")");
    }

    // An account item; `raster` and `sysInfo` are SQL expressions.
    void addItem(int id, int account, int rate, const std::string& raster, const std::string& sysInfo = "null",
        double amount = 100, double amountInCurrency = 4, const std::string& currency = "EUR", int service = 1,
        int cashDesk = 2)
    {
        exec("insert into REC_CHECKDTL (ID, CisloUctu, CisloSluzby, CisloPokladny, Trzba, TrzbaGar, Mena, SysInfo, "
             "DPH, KODRASTRU) values (" + std::to_string(id) + ", " + std::to_string(account) + ", "
            + std::to_string(service) + ", " + std::to_string(cashDesk) + ", " + std::to_string(amount) + ", "
            + std::to_string(amountInCurrency) + ", '" + currency + "', " + sysInfo + ", " + std::to_string(rate)
            + ", " + raster + ")");
    }

    // A carry-over item as the account closing procedure posts it for a deposit.
    void addCarryOver(int id, int account, const std::string& raster = "'ZZ'", int rate = 10)
    {
        addItem(id, account, rate, raster, "'DPH 2011/2012 #D1014(7#D1014)'", -1250.5, -50.02, "EUR", 343, 3);
    }

    void update(int account, const std::string& assignments)
    {
        exec("update REC_CHECKHEAD set " + assignments + " where CisloUctu = " + std::to_string(account));
    }

    std::int64_t rate(int id) { return integer("select DPH from REC_CHECKDTL where ID = " + std::to_string(id)); }

    std::string items(int account, const std::string& condition = "1 = 1")
    {
        return dump("select ID, CisloSluzby, CisloPokladny, DPH, KODRASTRU, Trzba, TrzbaGar, Mena, SysInfo, USR"
                    " from REC_CHECKDTL where CisloUctu = " + std::to_string(account) + " and " + condition
                    + " order by ID");
    }

    std::int64_t pairItems(int account)
    {
        return integer("select count(*) from REC_CHECKDTL where CisloUctu = " + std::to_string(account)
            + " and SysInfo like '%#Pz1014(%'");
    }

    // An account on 31.12.2011 with an item of every kind the rules tell apart.
    void accountWithEveryKindOfItem(int account, const std::string& status, const std::string& duzp)
    {
        openAccount(account, status, duzp);
        const int base = account * 10;
        addItem(base + 1, account, 10, "'UB'");
        addItem(base + 2, account, 14, "'UB'");
        addItem(base + 3, account, 10, "'ZZ'");
        addItem(base + 4, account, 14, "'ZZ'");
        addItem(base + 5, account, 10, "null");
        addItem(base + 6, account, 14, "null");
        addItem(base + 7, account, 20, "'MB'");
        addItem(base + 8, account, 0, "'MP'");
    }

    std::string ratesOf(int account)
    {
        db::ResultSet result = rows("select DPH from REC_CHECKDTL where CisloUctu = " + std::to_string(account)
            + " order by ID");
        std::string text;
        for (; !result.eof(); result.next())
            text += result.text(0) + " ";
        return text;
    }
};

// ---------- closing rule ----------

TEST_F(AccountHeadTrigger, ClosingAnAccountDatedBefore2012MovesItsItemsAtFourteenToTen)
{
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    accountWithEveryKindOfItem(2, "1", kBefore2012);
    update(1, "Status = 2");
    EXPECT_EQ(ratesOf(1), "10 10 10 14 10 14 20 0 ");
    EXPECT_EQ(ratesOf(2), "10 14 10 14 10 14 20 0 ");
}

TEST_F(AccountHeadTrigger, ClosingAnAccountDated2012MovesItsItemsAtTenToFourteen)
{
    accountWithEveryKindOfItem(1, "0", k2012);
    accountWithEveryKindOfItem(2, "0", k2012);
    update(1, "Status = 2");
    EXPECT_EQ(ratesOf(1), "14 14 10 14 10 14 20 0 ");
    EXPECT_EQ(ratesOf(2), "10 14 10 14 10 14 20 0 ");
}

TEST_F(AccountHeadTrigger, ClosingAnAccountWithoutDateOfTaxableSupplyMovesItsItemsAtTenToFourteen)
{
    accountWithEveryKindOfItem(1, "1", "null");
    update(1, "Status = 2");
    EXPECT_EQ(ratesOf(1), "14 14 10 14 10 14 20 0 ");
}

TEST_F(AccountHeadTrigger, StatusChangesThatCloseNothingRunNoClosingRule)
{
    for (const auto& [from, to] : {std::pair{"2", "2"}, {"null", "2"}, {"0", "1"}, {"1", "3"}}) {
        SCOPED_TRACE(std::string(from) + " -> " + to);
        exec("delete from REC_CHECKDTL");
        exec("delete from REC_CHECKHEAD");
        accountWithEveryKindOfItem(1, from, k2012);
        accountWithEveryKindOfItem(2, from, kBefore2012);
        update(1, std::string("Status = ") + to);
        update(2, std::string("Status = ") + to);
        EXPECT_EQ(ratesOf(1), "10 14 10 14 10 14 20 0 ");
        EXPECT_EQ(ratesOf(2), "10 14 10 14 10 14 20 0 ");
    }
}

// ---------- boundary rule ----------

TEST_F(AccountHeadTrigger, MoveInto2012MovesItemsAtTenToFourteenAndRebooksExemptCarryOverItems)
{
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    addCarryOver(57, 1);
    openAccount(2, "1", kBefore2012);
    addCarryOver(58, 2);
    const std::string carryOver = items(1, "ID >= 57");

    update(1, "REC_DUZP = " + k2012);

    EXPECT_EQ(ratesOf(1), "14 14 10 14 10 14 20 0 10 10 14 ");
    // The pair: the reversal first, then the re-posting, in the item's currency, under its service
    // and cash desk, by the current user. The carry-over item itself stays as it was.
    EXPECT_EQ(items(1, "ID >= 57"),
        carryOver
            + "1000001|343|3|10|ZZ|1250.5|50.02|EUR|DPH 2011/2012 #Pz1014(57#Pz1014)|SYSDBA|\n"
              "1000002|343|3|14|ZZ|-1250.5|-50.02|EUR|DPH 2011/2012 #Pz1014(57#Pz1014)|SYSDBA|\n");
    EXPECT_EQ(pairItems(2), 0);
    // Both items are dated with the moment of the update.
    EXPECT_EQ(integer("select count(*) from REC_CHECKDTL where ID in (1000001, 1000002) and DatumOperace = DatumPlneni "
                      "and DatumOperace between cast('now' as date) - 0.01 and cast('now' as date)"),
        2);
    EXPECT_EQ(integer("select count(distinct DatumOperace) from REC_CHECKDTL where ID in (1000001, 1000002)"), 1);
}

TEST_F(AccountHeadTrigger, ReversalAndRepostingCancelOutAndMoveTheDepositToFourteen)
{
    openAccount(1, "1", kBefore2012);
    addCarryOver(57, 1, "null");
    update(1, "REC_DUZP = " + k2012);

    EXPECT_EQ(pairItems(1), 2);
    EXPECT_DOUBLE_EQ(number("select sum(Trzba) from REC_CHECKDTL where CisloUctu = 1"), -1250.5);
    EXPECT_DOUBLE_EQ(number("select sum(TrzbaGar) from REC_CHECKDTL where CisloUctu = 1"), -50.02);
    EXPECT_DOUBLE_EQ(number("select sum(Trzba) from REC_CHECKDTL where CisloUctu = 1 and DPH = 14"), -1250.5);
    EXPECT_DOUBLE_EQ(number("select sum(TrzbaGar) from REC_CHECKDTL where CisloUctu = 1 and DPH = 10"), 0);
}

TEST_F(AccountHeadTrigger, CarryOverItemsThatAreNotExemptOrNotAtTenGetNoPair)
{
    openAccount(1, "1", kBefore2012);
    addCarryOver(57, 1, "'UB'");
    addCarryOver(58, 1, "'ZZ'", 14);
    update(1, "REC_DUZP = " + k2012);

    EXPECT_EQ(pairItems(1), 0);
    EXPECT_EQ(rate(57), 14);
    EXPECT_EQ(rate(58), 14);
}

TEST_F(AccountHeadTrigger, EveryExemptCarryOverItemGetsAPairOfItsOwn)
{
    openAccount(1, "1", kBefore2012);
    addCarryOver(57, 1);
    addCarryOver(60, 1, "null");
    update(1, "REC_DUZP = -13000");

    EXPECT_EQ(integer("select count(*) from REC_CHECKDTL where SysInfo = 'DPH 2011/2012 #Pz1014(57#Pz1014)'"), 2);
    EXPECT_EQ(integer("select count(*) from REC_CHECKDTL where SysInfo = 'DPH 2011/2012 #Pz1014(60#Pz1014)'"), 2);
}

TEST_F(AccountHeadTrigger, PairsCarryTheUserWhoMadeTheUpdate)
{
    openAccount(1, "1", kBefore2012);
    addCarryOver(57, 1);
    // A user name longer than fifteen characters, as Firebird allows, with the rights that hotel staff have.
    exec("execute block as declare variable n varchar(63); begin "
         "for select trim(rdb$relation_name) from rdb$relations where coalesce(rdb$system_flag, 0) = 0 into :n do "
         "execute statement 'grant all on ' || n || ' to user NOCNI_RECEPCE_KALMOR'; "
         "for select trim(rdb$procedure_name) from rdb$procedures where coalesce(rdb$system_flag, 0) = 0 into :n do "
         "execute statement 'grant execute on procedure ' || n || ' to user NOCNI_RECEPCE_KALMOR'; "
         "for select trim(rdb$generator_name) from rdb$generators where coalesce(rdb$system_flag, 0) = 0 into :n do "
         "execute statement 'grant usage on sequence ' || n || ' to user NOCNI_RECEPCE_KALMOR'; end");
    db::Connection night;
    night.setDatabase(database.path());
    night.setUser("NOCNI_RECEPCE_KALMOR");
    night.setPassword("m");
    night.execute("update REC_CHECKHEAD set REC_DUZP = " + k2012 + " where CisloUctu = 1");
    night.close();

    EXPECT_EQ(integer("select count(*) from REC_CHECKDTL where SysInfo like '%#Pz1014(%' and USR = "
                      "'NOCNI_RECEPCE_KALMOR'"),
        2);
}

TEST_F(AccountHeadTrigger, MoveBackInto2011DeletesRebookingsAndCorrectionsAndMovesFourteenToTen)
{
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    addCarryOver(57, 1);
    update(1, "REC_DUZP = " + k2012);
    ASSERT_EQ(pairItems(1), 2);
    addItem(90, 1, 14, "'UB'", "'Oprava DPH 2011/2012 #UB1014(5#UB1014)'");
    openAccount(2, "1", k2012);
    addItem(91, 2, 14, "'ZZ'", "'DPH 2011/2012 #Pz1014(5#Pz1014)'");

    update(1, "REC_DUZP = " + kBefore2012);

    EXPECT_EQ(pairItems(1), 0);
    EXPECT_EQ(integer("select count(*) from REC_CHECKDTL where ID = 90"), 0);
    EXPECT_EQ(ratesOf(1), "10 10 10 14 10 14 20 0 10 ");
    EXPECT_EQ(rate(91), 14);

    // A later move into 2012 posts one fresh pair.
    update(1, "REC_DUZP = " + k2012);
    EXPECT_EQ(pairItems(1), 2);
}

TEST_F(AccountHeadTrigger, ChangesWithinOneSideOfTheBoundaryChangeNothing)
{
    for (const auto& [from, to] : {std::pair{"-13900", "-13881"}, {"-13880", "-13000"}, {"-13000", "-13880"},
             {"null", "-13880"}, {"-13881", "null"}, {"null", "-13881"}, {"-13880", "null"}}) {
        SCOPED_TRACE(std::string(from) + " -> " + to);
        exec("delete from REC_CHECKDTL");
        exec("delete from REC_CHECKHEAD");
        accountWithEveryKindOfItem(1, "1", from);
        addCarryOver(57, 1);
        const std::string before = items(1);
        update(1, std::string("REC_DUZP = ") + to);
        EXPECT_EQ(items(1), before);
    }
}

TEST_F(AccountHeadTrigger, UpdateThatTouchesNeitherStatusNorDateChangesNothing)
{
    accountWithEveryKindOfItem(1, "1", k2012);
    addCarryOver(57, 1);
    accountWithEveryKindOfItem(2, "2", kBefore2012);
    const std::string before = items(1) + items(2);
    update(1, "DATUM_POSLOPER = 'NOW', Info = 'x'");
    update(2, "DATUM_POSLOPER = 'NOW'");
    update(1, "Status = Status, REC_DUZP = REC_DUZP");
    EXPECT_EQ(items(1) + items(2), before);
}

TEST_F(AccountHeadTrigger, ClosingAndMovingInto2012InOneUpdateRunBothRules)
{
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    addCarryOver(57, 1);
    update(1, "Status = 2, REC_DUZP = " + k2012);
    EXPECT_EQ(ratesOf(1), "14 14 10 14 10 14 20 0 10 10 14 ");
    EXPECT_EQ(pairItems(1), 2);
}

// ---------- semaphores ----------

TEST_F(AccountHeadTrigger, SemaphoresRgsAndRpkSwitchTheRulesOff)
{
    for (const std::string semaphore : {"RGS", "RPK"}) {
        SCOPED_TRACE(semaphore);
        exec("delete from REC_CHECKDTL");
        exec("delete from REC_CHECKHEAD");
        exec("delete from TMP_SEM_TABLESYNCH");
        exec("insert into TMP_SEM_TABLESYNCH (SEMAPHORE_NAME) values ('" + semaphore + "')");
        accountWithEveryKindOfItem(1, "1", kBefore2012);
        addCarryOver(57, 1);
        accountWithEveryKindOfItem(2, "1", k2012);
        accountWithEveryKindOfItem(3, "1", k2012);
        update(3, "REC_DUZP = " + kBefore2012);
        const std::string before = items(1) + items(2) + items(3);

        update(1, "REC_DUZP = " + k2012);
        update(2, "Status = 2");
        update(3, "Status = 2, REC_DUZP = " + k2012);

        EXPECT_EQ(items(1) + items(2) + items(3), before);
        EXPECT_EQ(integer("select REC_DUZP from REC_CHECKHEAD where CisloUctu = 1"), -13880);
    }
}

TEST_F(AccountHeadTrigger, OtherSemaphoresLeaveTheRulesOn)
{
    exec("insert into TMP_SEM_TABLESYNCH (SEMAPHORE_NAME) values ('RGX')");
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    accountWithEveryKindOfItem(2, "1", kBefore2012);
    addCarryOver(57, 1);
    update(1, "REC_DUZP = " + k2012);
    update(2, "Status = 2");
    EXPECT_EQ(pairItems(1), 2);
    EXPECT_EQ(ratesOf(2), "10 10 10 14 10 14 20 0 ");
}

// ---------- failure ----------

TEST_F(AccountHeadTrigger, FailedInsertionLeavesHeadAndItemsAsTheyWere)
{
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    addCarryOver(57, 1);
    addItem(1000002, 5, 10, "'UB'"); // the ID that the re-posting will be given
    const std::string before = items(1);

    const bool updated = runner.ExecSql(QStringLiteral("update REC_CHECKHEAD set REC_DUZP = -13880 where CisloUctu = 1"));

    EXPECT_FALSE(updated);
    EXPECT_EQ(items(1), before);
    EXPECT_EQ(integer("select REC_DUZP from REC_CHECKHEAD where CisloUctu = 1"), -13881);
}

TEST_F(AccountHeadTrigger, InstallingASecondTimeReplacesTheTrigger)
{
    EXPECT_TRUE(install(5)) << logText().toStdString();
    accountWithEveryKindOfItem(1, "1", kBefore2012);
    addCarryOver(57, 1);
    update(1, "REC_DUZP = " + k2012);
    EXPECT_EQ(pairItems(1), 2);
}

} // namespace
