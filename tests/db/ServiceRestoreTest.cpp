// The restore through the services manager, against the embedded engine.

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ServiceBackup.h"

#include "FreshDatabase.h"
#include "RowDump.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

using testsupport::FreshDatabase;
using testsupport::HotelData;

std::string contentOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string dump(const std::string& database, const std::string& sql)
{
    db::Connection connection;
    connection.setDatabase(database);
    connection.setUser("SYSDBA");
    return testsupport::dumpRows(connection, sql);
}

// A backup of the database beside it.
std::string backupOf(const FreshDatabase& database)
{
    const std::string file = (database.directory() / "hotel.fbk").string();
    db::ServiceBackup(database.path(), "SYSDBA", "", 5).run(file, {});
    return file;
}

// A backup that ends early (a copy cut short on its way) fails the restore, with the service's
// words, and leaves no half-made database behind.
TEST(ServiceRestore, ABackupThatEndsEarlyFailsAndLeavesNoPartialDatabase)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = backupOf(database);
    const std::filesystem::path cut = database.directory() / "cut.fbk", copy = database.directory() / "copy.fdb";
    const std::string whole = contentOf(backup);
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() / 2);
    try {
        db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(cut.string(), copy.string(), {});
        ADD_FAILURE() << "a backup cut in half was restored";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("incomplete"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(copy));
}

// A copy may be given a page cache of its own in its header; the database's own (0: the
// engine's default) is never changed by a backup and restore without it.
TEST(ServiceRestore, APageCacheAskedForIsTheNewDatabasesAlone)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = backupOf(database);
    for (const unsigned pages : {0u, 4000u}) {
        const std::filesystem::path copy = database.directory() / ("copy-" + std::to_string(pages) + ".fdb");
        db::ServiceRestore restore(database.path(), "SYSDBA", "", 5);
        restore.setPageBuffers(pages);
        restore.run(backup, copy.string(), {});
        EXPECT_EQ(dump(copy.string(), "select MON$PAGE_BUFFERS from MON$DATABASE"),
                  pages ? std::to_string(pages) + "|\n" : dump(database.path(), "select MON$PAGE_BUFFERS from MON$DATABASE"))
            << pages;
    }
}

// An existing file, database or not, is refused and left as it was: the database's rows (any
// attachment, gbak's own look included, writes its header), any other file's bytes.
TEST(ServiceRestore, AnExistingFileIsRefusedAndLeftUntouched)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = backupOf(database);
    const std::filesystem::path copy = database.directory() / "copy.fdb", text = database.directory() / "notes.txt";
    std::filesystem::copy_file(database.path(), copy);
    std::ofstream(text) << "not a database";
    const auto rows = [&] { return dump(copy.string(), "select * from POS_TAXES order by 1"); };
    const auto bytes = [&] { return contentOf(text); };
    for (const auto& [existing, stateOf] : {std::pair{copy, std::function<std::string()>(rows)}, {text, bytes}}) {
        const std::string before = stateOf();
        EXPECT_THROW(db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(backup, existing.string(), {}),
                     db::EngineError)
            << existing;
        EXPECT_EQ(stateOf(), before) << existing;
    }
}

// A stop while the service refuses a name that was taken before the restore began: nothing of
// this restore remains, so its caller has nothing to delete there.
TEST(ServiceRestore, AStopAfterItStartedOnATakenNameLeavesNothingOfItsOwn)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = backupOf(database);
    const std::filesystem::path taken = database.directory() / "taken-zkouska.fdb";
    std::filesystem::copy_file(database.path(), taken);
    const std::string before = dump(taken.string(), "select * from POS_TAXES order by 1");
    int asked = 0;
    const auto stopOnceStarted = [&asked] { return ++asked > 2; }; // twice before the service starts
    try {
        db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(backup, taken.string(), {}, stopOnceStarted);
        ADD_FAILURE() << "the restore went over an existing database";
    } catch (const db::RestoreAbandoned& abandoned) {
        EXPECT_FALSE(abandoned.databaseMayRemain());
    }
    EXPECT_GT(asked, 2) << "the stop came after the service started";
    EXPECT_EQ(dump(taken.string(), "select * from POS_TAXES order by 1"), before);
}

} // namespace
