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
std::string hotelData(const std::string& database, const std::string& user = "SYSDBA")
{
    db::Connection connection;
    connection.setDatabase(database);
    connection.setUser(user);
    std::string all;
    for (const char* table : {"POS_TAXES", "FBS_VAT", "FBS_STOCK_ITM", "REC_MM_REZDET", "REC_MM_REZERVACE", "REC_CHECKDTL", "QVT_KONFIG"})
        all += std::string(table) + "\n" + testsupport::dumpRows(connection, std::string("select * from ") + table + " order by 1");
    return all;
}

db::StreamedCopy copier(const FreshDatabase& database, const std::string& user = "SYSDBA")
{
    return {db::ServiceBackup(database.path(), user, "", 5), db::ServiceRestore(database.path(), user, "", 5)};
}

db::StreamSide failedSide(const std::function<void()>& run)
{
    try {
        run();
    } catch (const db::StreamFailed& failed) {
        return failed.side();
    }
    ADD_FAILURE() << "the copy did not fail";
    return db::StreamSide::Restore;
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

// Whichever side fails first is named, the other is ended, and no copy is left; a name that was
// taken keeps what it held.
TEST(StreamedCopy, TheSideThatFailsIsNamedAndNoCopyRemains)
{
    const FreshDatabase database(HotelData::Demo);
    const std::filesystem::path copy = database.directory() / "copy.fdb";
    const auto ignore = [](const std::string&) {};

    // A user who may read none of the hotel's tables: the backup fails.
    EXPECT_EQ(failedSide([&] { copier(database, "NOBODY").run(copy.string(), ignore, {}); }), db::StreamSide::Backup);
    EXPECT_FALSE(std::filesystem::exists(copy));

    // The backup cannot be kept (a full disk): the copy is given up.
    int pieces = 0;
    const auto fullAfterOne = [&pieces](const std::string&) {
        if (++pieces > 1)
            throw std::runtime_error("No space left on device");
    };
    EXPECT_EQ(failedSide([&] { copier(database).run(copy.string(), fullAfterOne, {}); }), db::StreamSide::Keeping);
    EXPECT_FALSE(std::filesystem::exists(copy));

    // The restore cannot create its database.
    const std::filesystem::path nowhere = database.directory() / "missing" / "copy.fdb";
    EXPECT_EQ(failedSide([&] { copier(database).run(nowhere.string(), ignore, {}); }), db::StreamSide::Restore);
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    std::filesystem::copy_file(database.path(), copy);
    const std::string before = hotelData(copy.string());
    EXPECT_EQ(failedSide([&] { copier(database).run(copy.string(), ignore, {}); }), db::StreamSide::Restore);
    EXPECT_EQ(hotelData(copy.string()), before);
}

// A stop in the middle ends both services and leaves no copy.
TEST(StreamedCopy, AStopInTheMiddleEndsBothAndLeavesNoCopy)
{
    const FreshDatabase database(HotelData::Demo);
    const std::filesystem::path copy = database.directory() / "copy.fdb";
    std::atomic<int> pieces = 0;
    try {
        copier(database).run(copy.string(), [&pieces](const std::string&) { ++pieces; },
                             [&pieces] { return pieces > 2; });
        ADD_FAILURE() << "the copy ended although a stop was asked";
    } catch (const db::RestoreAbandoned& abandoned) {
        EXPECT_FALSE(abandoned.databaseMayRemain());
    }
    EXPECT_FALSE(std::filesystem::exists(copy));
}

} // namespace
