// The five server-side objects install through the statement runner, in order, and again.

#include "HotelRows.h"

#include <gtest/gtest.h>

namespace {

class Installation : public testsupport::HotelRows {
protected:
    std::int64_t procedures()
    {
        return integer("select count(*) from RDB$PROCEDURES where upper(RDB$PROCEDURE_NAME) in"
                       " ('REC_POKLDENIKINSERT2', 'REC_DPH_DELENIPOBYTU', 'REC_DPH_UZAVRENIUCTU',"
                       " 'REC_DPH_UZAVRENIVSECHUCTU')");
    }
    std::int64_t activeTriggers()
    {
        return integer("select count(*) from RDB$TRIGGERS where RDB$TRIGGER_NAME = 'REC_CHECKHEAD_DPH_TRIGGER'"
                       " and RDB$RELATION_NAME = 'REC_CHECKHEAD' and RDB$TRIGGER_INACTIVE = 0");
    }
};

TEST_F(Installation, AllFiveInstallIntoAFreshDatabase)
{
    EXPECT_TRUE(install(5)) << logText().toStdString();
    EXPECT_EQ(runner.failureCount(), 0);
    EXPECT_EQ(procedures(), 4);
    EXPECT_EQ(activeTriggers(), 1);
}

TEST_F(Installation, InstallingASecondTimeReplacesThemWithoutError)
{
    ASSERT_TRUE(install(5)) << logText().toStdString();
    EXPECT_TRUE(install(5)) << logText().toStdString();

    EXPECT_EQ(runner.failureCount(), 0);
    EXPECT_FALSE(logText().contains("ENGINE ERROR")) << logText().toStdString();
    EXPECT_EQ(procedures(), 4);
    EXPECT_EQ(activeTriggers(), 1);
}

TEST_F(Installation, ReplacedObjectsStillWorkTogether)
{
    ASSERT_TRUE(install(5));
    ASSERT_TRUE(install(5));
    addClient(1, "3");
    addAccount(7, "1", "CZK", "0", "-13881");
    addItem(1, 7, 1, 1000, 1000, "CZK", 14, "UB");

    const auto newAccount = integer("select OCisloUctu from REC_DPH_UzavreniUctu(7, '31.12.2011')");

    EXPECT_EQ(count("REC_PoklDenik where CisloUctu = 7"), 1);
    EXPECT_EQ(count("REC_PoklDenik where CisloUctu = " + std::to_string(newAccount)), 1);
    EXPECT_EQ(value("select DPH from REC_CHECKDTL where ID = 1"), "10");
}

} // namespace
