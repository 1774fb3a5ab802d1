// The five objects find rows by account, reservation and group through indexes: on a real hotel
// database a table scan per account or group turns a year-end run into hours.

#include "ScriptDatabase.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

class IndexUse : public testsupport::ScriptDatabase {
protected:
    IndexUse() : ScriptDatabase(testsupport::HotelData::Demo) {}

    void SetUp() override { ASSERT_TRUE(install()) << logText().toStdString(); }

    // Sequential (unindexed) record reads of this connection so far, by table.
    std::map<std::string, std::int64_t> sequentialReads()
    {
        db::ResultSet result = rows(
            "select trim(t.MON$TABLE_NAME), r.MON$RECORD_SEQ_READS from MON$TABLE_STATS t"
            " join MON$RECORD_STATS r on r.MON$STAT_ID = t.MON$RECORD_STAT_ID"
            " join MON$ATTACHMENTS a on a.MON$STAT_ID = t.MON$STAT_ID"
            " where a.MON$ATTACHMENT_ID = current_connection");
        std::map<std::string, std::int64_t> reads;
        for (; !result.eof(); result.next())
            reads[result.text(0)] = result.integer(1);
        return reads;
    }

    void expectNoScanSince(const std::map<std::string, std::int64_t>& before)
    {
        const auto after = sequentialReads();
        for (const char* table : {"REC_CHECKHEAD", "REC_CHECKDTL", "REC_POKLDENIK", "REC_MM_REZERVACE",
                                  "REC_MM_REZDET", "REC_MM_ROOMINGLIST", "REC_MM_KLIENT", "TMP_SEM_TABLESYNCH",
                                  "CISSLUZ", "QVT_KONFIG"}) {
            const auto was = before.find(table);
            const auto now = after.find(table);
            const std::int64_t scanned = (now == after.end() ? 0 : now->second)
                - (was == before.end() ? 0 : was->second);
            EXPECT_EQ(scanned, 0) << table << " was read without an index";
        }
    }
};

TEST_F(IndexUse, SplittingAGroupReadsByGroupAndReservation)
{
    const auto before = sequentialReads();
    ASSERT_TRUE(runner.ExecSql("execute procedure REC_DPH_DeleniPobytu(502,\"31.12.2011\")")) << logText().toStdString();
    EXPECT_GT(integer("select count(*) from REC_MM_REZERVACE where CisloSkupiny = 502"), 4);
    expectNoScanSince(before);
}

TEST_F(IndexUse, ClosingAnAccountReadsByAccountAndClient)
{
    const auto before = sequentialReads();
    const QString newAccount = runner.SelectValue("select * from REC_DPH_UzavreniUctu(5002, \"31.12.2011\")");
    ASSERT_NE(newAccount, update::kFailMarker) << logText().toStdString();
    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5002"), "2");
    expectNoScanSince(before);
}

TEST_F(IndexUse, MovingAnAccountAcrossTheYearReadsItsItemsByAccount)
{
    const auto before = sequentialReads();
    exec("update REC_CHECKHEAD set REC_DUZP = -13881 where CisloUctu = 5007");
    exec("update REC_CHECKHEAD set REC_DUZP = -13880 where CisloUctu = 5007");
    EXPECT_EQ(value("select count(*) from REC_CHECKDTL where CisloUctu = 5007 and SysInfo like '%#Pz1014(%'"), "2");
    expectNoScanSince(before);
}

TEST_F(IndexUse, CashJournalEntryReadsByAccountAndService)
{
    const auto before = sequentialReads();
    ASSERT_NE(runner.SelectValue("select * from REC_PoklDenikInsert2(101, 5001, 2, 100, 100, 'CZK', '', '', 'SYSDBA',"
                                 " '', 0, \"31.12.2011\")"),
              update::kFailMarker);
    expectNoScanSince(before);
}

} // namespace
