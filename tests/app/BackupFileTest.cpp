// The backup file where this machine's own engine writes it: readable by its owner only, never
// written through a link, never into a folder where other users could plant one.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"

#include <QRegularExpression>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class BackupFile : public testing::Test {
protected:
    // Runs the unattended update with the backup going to `backup`.
    int runWithBackup(const fs::path& backup)
    {
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + QByteArray::fromStdString(backup.string()) + "\r\n");
        return program.run({QStringLiteral("x")});
    }

    FreshDatabase database{HotelData::Demo};
    const fs::path folder = database.directory();
    InstalledProgram program;
};

// Each refusal changes nothing, says why in the log and on standard error, and writes nowhere.
TEST_F(BackupFile, ALinkOrAFolderThatOthersMayWriteToIsRefusedBeforeAnythingIsWritten)
{
    const fs::path victim = folder / "victim.txt", nowhere = folder / "nowhere.fbk", shared = folder / "shared";
    std::ofstream(victim) << "not the program's to overwrite";
    fs::create_symlink(victim, folder / "link.fbk");
    fs::create_symlink(nowhere, folder / "dangling.fbk");
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all);
    // A folder of the owner's own below one that others may change: they could swap it for a link.
    fs::create_directory(shared / "own");
    fs::permissions(shared / "own", fs::perms::owner_all);
    struct Case {
        fs::path backup;
        const char* reason;
        std::function<bool()> untouched;
    };
    const Case cases[] = {
        {folder / "link.fbk", "odkaz", [&] { return contentOf(victim) == "not the program's to overwrite"; }},
        {folder / "dangling.fbk", "odkaz", [&] { return !fs::exists(nowhere); }},
        {shared / "hotel.fbk", "jini uzivatele", [&] { return fs::is_empty(shared / "own"); }},
        {shared / "own" / "hotel.fbk", "jini uzivatele", [&] { return fs::is_empty(shared / "own"); }},
    };
    for (const Case& refused : cases) {
        EXPECT_EQ(runWithBackup(refused.backup), 3) << refused.backup;
        EXPECT_TRUE(refused.untouched()) << refused.backup;
        const QStringList entries = program.logEntries();
        EXPECT_TRUE(entries.last().startsWith(QStringLiteral("ZALOHA CHYBA   | "))
                    && entries.last().contains(QString::fromUtf8(refused.reason)))
            << refused.backup << ": " << entries.last().toStdString();
        EXPECT_TRUE(program.standardError().contains(QString::fromUtf8(refused.reason))) << refused.backup;
        EXPECT_TRUE(entries.filter(QStringLiteral("EXEC SQL")).isEmpty()) << "nothing was sent";
    }
}

// Even under an umask that lets everyone read, only the owner may read what holds every guest's
// name and account; a name that is taken gets a dated one, created as fresh.
TEST_F(BackupFile, TheBackupIsReadableByItsOwnerOnly)
{
    std::ofstream(folder / "hotel.fbk") << "an earlier backup";
    const ::mode_t before = ::umask(0);
    const int status = runWithBackup(folder / "hotel.fbk");
    ::umask(before);
    EXPECT_EQ(status, 0) << program.standardError().toStdString();
    const QStringList made = program.logEntries().filter(QRegularExpression(QStringLiteral("^ZALOHA         \\| ")));
    ASSERT_EQ(made.size(), 1);
    const fs::path file = made[0].mid(17).toStdString();
    EXPECT_NE(file, folder / "hotel.fbk");
    EXPECT_GT(fs::file_size(file), 0u);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write) << file;
    EXPECT_EQ(contentOf(folder / "hotel.fbk"), "an earlier backup");
}

// In a folder shared by several users (sticky, like /tmp), another user's file under the name the
// backup is written under at first belongs to that user: the backup takes a free name instead,
// the night and the rehearsal run, and that file stays as it was.
TEST_F(BackupFile, AnotherUsersFileUnderTheUnfinishedNameIsLeftAloneAndTheBackupIsMade)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user needs root to be made";
    const fs::path shared = folder / "shared", backup = shared / "hotel.fbk", theirs = shared / "hotel.fbk.dph2012-castecna";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const struct {
        const char* name;
        const char* argument;
    } cases[] = {{"the night", "x"}, {"the rehearsal", "--rehearse"}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        fs::remove(backup);
        std::ofstream(theirs, std::ios::trunc) << "another user's file";
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + QByteArray::fromStdString(backup.string()) + "\r\n");
        EXPECT_EQ(program.run({QString::fromLatin1(each.argument)}), 0) << program.standardError().toStdString();
        EXPECT_TRUE(fs::is_regular_file(backup) && fs::file_size(backup) > 0);
        EXPECT_EQ(contentOf(theirs), "another user's file");
        struct stat status {};
        ASSERT_EQ(::lstat(theirs.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 65534u);
        // Nothing unfinished of the program's own is left beside.
        EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 2);
    }
}

// A run killed while it writes the backup leaves no file under the backup's name; the check names
// the unfinished one, and the next backup removes it first.
TEST_F(BackupFile, AKilledBackupLeavesNothingUnderItsNameAndTheNextRunRemovesWhatItLeft)
{
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
        connection.execute("execute block as declare i integer = 0; begin while (i < 600000) do begin insert into "
                           "TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    }
    const fs::path backup = folder / "hotel.fbk", unfinished = folder / "hotel.fbk.dph2012-castecna";
    program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                              + "\r\nUser=SYSDBA\r\nBackup=" + QByteArray::fromStdString(backup.string()) + "\r\n");
    program.start({QStringLiteral("x")});
    while (!fs::exists(unfinished) || fs::file_size(unfinished) < 1'000'000)
        ASSERT_TRUE(program.stillRunningAfter(20)) << "the backup ended before it could be killed";
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGKILL), 0);
    program.endsByItself();
    EXPECT_FALSE(fs::exists(backup)) << "a cut backup under the backup's name";

    program.run({QStringLiteral("--check")});
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Zbyla nedokoncena zaloha (odstrani ji pristi zaloha): ")
                                                  + QString::fromStdString(unfinished.string())));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    EXPECT_FALSE(fs::exists(unfinished));
    EXPECT_GT(fs::file_size(backup), 1'000'000u);
    EXPECT_EQ(program.logEntries()
                  .filter(QStringLiteral("ZALOHA         | odstranena nedokoncena zaloha drivejsiho behu ")
                          + QString::fromStdString(unfinished.string()))
                  .size(),
              1);
}

} // namespace
