// The backup streamed into a restore, against the embedded engine.

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/StreamedCopy.h"

#include "FreshDatabase.h"
#include "RowDump.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using testsupport::FreshDatabase;
using testsupport::HotelData;

// The hotel's data as a text: every table the update touches, and the settings.
std::string hotelData(const std::string& database)
{
    db::Connection connection;
    connection.setDatabase(database);
    connection.setUser("SYSDBA");
    std::string all;
    for (const char* table : {"POS_TAXES", "FBS_VAT", "FBS_STOCK_ITM", "REC_MM_REZDET", "REC_MM_REZERVACE", "REC_CHECKDTL", "QVT_KONFIG"})
        all += std::string(table) + "\n" + testsupport::dumpRows(connection, std::string("select * from ") + table + " order by 1");
    return all;
}

db::StreamedCopy copier(const FreshDatabase& database)
{
    return {db::ServiceBackup(database.path(), "SYSDBA", "", 5), db::ServiceRestore(database.path(), "SYSDBA", "", 5)};
}

// The copy holds the database's data, and the backup that passed on its way restores on its own
// with the stock gbak to the same data.
TEST(StreamedCopy, TheCopyAndTheKeptBackupRestoredByGbakHoldTheDatabasesData)
{
    const FreshDatabase database(HotelData::Demo);
    const std::filesystem::path copy = database.directory() / "copy.fdb", kept = database.directory() / "kept.fbk",
                                again = database.directory() / "again.fdb";
    std::ofstream file(kept, std::ios::binary);
    const db::StreamedCopyResult result =
        copier(database).run(copy.string(), [&file](const std::string& piece) { file << piece; }, {});
    file.close();
    EXPECT_EQ(result.backupBytes, std::filesystem::file_size(kept));
    EXPECT_GT(result.backupBytes, 0u);
    const std::string original = hotelData(database.path());
    EXPECT_EQ(hotelData(copy.string()), original);
    const std::string gbak = "gbak -c -user SYSDBA '" + kept.string() + "' '" + again.string() + "'";
    ASSERT_EQ(std::system(gbak.c_str()), 0) << gbak;
    EXPECT_EQ(hotelData(again.string()), original);
}

// Whichever side fails first is named, the other is ended and no copy is left; a name that was
// taken keeps what it held. A stop, and a backup that fails, are proved through the program.
TEST(StreamedCopy, TheSideThatFailsIsNamedAndNoCopyRemains)
{
    const FreshDatabase database(HotelData::Demo);
    const std::filesystem::path taken = database.directory() / "taken.fdb";
    std::filesystem::copy_file(database.path(), taken);
    const std::string takenBefore = hotelData(taken.string());
    int pieces = 0;
    const db::ServiceBackup::Piece ignore = [](const std::string&) {};
    const db::ServiceBackup::Piece fullAfterOne = [&pieces](const std::string&) {
        if (++pieces > 1)
            throw std::runtime_error("No space left on device");
    };
    const struct {
        std::filesystem::path copy;
        db::ServiceBackup::Piece keep;
        db::StreamSide side;
    } cases[] = {
        {database.directory() / "copy.fdb", fullAfterOne, db::StreamSide::Keeping},
        {database.directory() / "missing" / "copy.fdb", ignore, db::StreamSide::Restore},
        {taken, ignore, db::StreamSide::Restore},
    };
    for (const auto& [copy, keep, side] : cases) {
        SCOPED_TRACE(copy.string());
        try {
            copier(database).run(copy.string(), keep, {});
            ADD_FAILURE() << "the copy did not fail";
        } catch (const db::StreamFailed& failed) {
            EXPECT_EQ(failed.side(), side);
        }
        EXPECT_EQ(std::filesystem::exists(copy), copy == taken);
    }
    EXPECT_EQ(hotelData(taken.string()), takenBefore);
}

} // namespace
