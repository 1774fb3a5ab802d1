// The restore through the services manager, against the embedded engine.

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ServiceBackup.h"

#include "FreshDatabase.h"
#include "RowDump.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

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

TEST(ServiceRestore, AFreshBackupRestoresToTheSameData)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = backupOf(database);
    const std::string restored = (database.directory() / "hotel-zkouska.fdb").string();
    std::vector<std::string> lines;
    db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(backup, restored,
                                                             [&](const std::string& line) { lines.push_back(line); });

    for (const std::string sql : {"select * from POS_TAXES order by 1", "select * from FBS_VAT order by 1",
                                  "select * from CISSLUZ order by 1", "select * from QVT_KONFIG order by 1"})
        EXPECT_EQ(dump(restored, sql), dump(database.path(), sql)) << sql;
    EXPECT_FALSE(lines.empty()) << "the service's lines reach those who ask";
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

TEST(ServiceRestore, AskedToStopBeforeItStartsItThrowsItsOwnKindAndMakesNoDatabase)
{
    const FreshDatabase database(HotelData::Base);
    const std::string backup = backupOf(database);
    const std::filesystem::path restored = database.directory() / "stopped.fdb";
    try {
        db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(backup, restored.string(), {}, [] { return true; });
        FAIL() << "the restore should have been abandoned";
    } catch (const db::RestoreAbandoned& abandoned) {
        EXPECT_FALSE(abandoned.databaseMayRemain());
    }
    EXPECT_FALSE(std::filesystem::exists(restored));
}

// A stop while gbak restores a large table (a backup of about 170 MB): the restore is abandoned
// with its own kind; the new database is gone unless the exception says it may remain, and
// then it can be dropped once the engine lets it go.
TEST(ServiceRestore, AStopDuringTheRestoreAbandonsItAndSaysWhetherTheDatabaseRemains)
{
    const FreshDatabase database(HotelData::Base);
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
        connection.execute("execute block as declare i integer = 0; begin while (i < 1000000) do begin "
                           "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid()) || "
                           "uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    }
    const std::string backup = backupOf(database);
    const std::filesystem::path restored = database.directory() / "hotel-zkouska.fdb";
    bool inBulk = false;
    std::chrono::steady_clock::time_point asked;
    const auto stop = [&] {
        if (inBulk && asked == std::chrono::steady_clock::time_point())
            asked = std::chrono::steady_clock::now();
        return inBulk;
    };
    const auto progress = [&](const std::string& line) {
        inBulk = inBulk || line.find("restoring data for table TEST_BULK") != std::string::npos;
    };
    try {
        db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(backup, restored.string(), progress, stop);
        FAIL() << "the restore should have been abandoned";
    } catch (const db::RestoreAbandoned& abandoned) {
        std::printf("abandoned %.1f s after the stop, database may remain: %d\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count(),
                    abandoned.databaseMayRemain());
        if (!abandoned.databaseMayRemain()) {
            EXPECT_FALSE(std::filesystem::exists(restored));
        }
    }
    // What remains is the scratch database, dropped once the engine lets it go.
    for (int tries = 0; tries < 600 && std::filesystem::exists(restored); ++tries) {
        db::Connection scratch;
        scratch.setDatabase(restored.string());
        scratch.setUser("SYSDBA");
        try {
            scratch.dropDatabase();
        } catch (const db::EngineError&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(restored));
}

} // namespace
