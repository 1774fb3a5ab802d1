// The way back: the night's backup put back in place of the database by `dph2012 --restore`,
// today's database kept beside it, and every reason to refuse leaving the database as it is.

#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <filesystem>
#include <functional>
#include <optional>

#include <signal.h>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

EndState endStateOf(const std::string& file)
{
    db::Connection connection;
    connection.setDatabase(file);
    connection.setUser("SYSDBA");
    return nightEndState(connection);
}

void expectSame(const EndState& actual, const EndState& expected)
{
    for (const auto& [part, rows] : actual)
        EXPECT_EQ(rows, expected.at(part)) << part;
}

// The demo hotel updated unattended with option c, its backup made before, as a night leaves it.
class WayBack : public testing::Test {
protected:
    WayBack()
    {
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + backup().toUtf8() + "\r\n");
    }

    void SetUp() override
    {
        before = endStateOf(database.path());
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        after = endStateOf(database.path());
        ASSERT_NE(before.at("reservation lines"), after.at("reservation lines"));
    }

    QString backup() const { return QString::fromStdString((database.directory() / "hotel.fbk").string()); }

    // The files beside the database whose names the way back gave them.
    QStringList kept() const
    {
        return QDir(QString::fromStdString(database.directory().string()))
            .entryList({QStringLiteral("hotel-po-aktualizaci-*.fdb")}, QDir::Files);
    }

    const FreshDatabase database{HotelData::Demo};
    InstalledProgram program;
    EndState before, after;
};

// How DPH.ini names the database: its path, the alias QVT through databases.conf (as the demo and
// the README set it up), or a path through a symbolic link.
enum class Naming { Path, Alias, Link };

class WayBackUnderEachName : public WayBack, public testing::WithParamInterface<Naming> {
protected:
    WayBackUnderEachName()
    {
        if (GetParam() == Naming::Path)
            return;
        const QByteArray name = GetParam() == Naming::Alias ? QByteArray("QVT") : QByteArray::fromStdString(link().string());
        if (GetParam() == Naming::Alias) {
            root.emplace(std::map<std::string, std::string>{{"QVT", database.path()}});
            program.setFirebirdRoot(QString::fromStdString(root->path()));
        } else {
            std::filesystem::create_symlink(database.path(), link());
        }
        program.writeSettingsText("[Params]\r\nAlias=" + name + "\r\nUser=SYSDBA\r\nBackup=" + backup().toUtf8() + "\r\n");
    }

    std::filesystem::path link() const { return database.directory() / "hotel-link.fdb"; }

    // Makes the name lead to `file` from now on.
    void redirectName(const std::string& file)
    {
        if (GetParam() == Naming::Alias) {
            root.emplace(std::map<std::string, std::string>{{"QVT", file}});
            program.setFirebirdRoot(QString::fromStdString(root->path()));
        } else {
            std::filesystem::remove(link());
            std::filesystem::create_symlink(file, link());
        }
    }

    std::optional<FirebirdRoot> root;
};

std::string namingName(const testing::TestParamInfo<Naming>& naming)
{
    return naming.param == Naming::Path ? "Path" : naming.param == Naming::Alias ? "AliasInDatabasesConf" : "PathThroughLink";
}

TEST_P(WayBackUnderEachName, PutsTheBackupBackAndKeepsTodaysDatabaseBesideIt)
{
    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    expectSame(endStateOf(database.path()), before);
    ASSERT_EQ(kept().size(), 1);
    expectSame(endStateOf((database.directory() / kept().front().toStdString()).string()), after);
    // Nothing written since the first way back: a second one says so and keeps no copy of the same state.
    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    expectSame(endStateOf(database.path()), before);
    EXPECT_EQ(kept().size(), 1);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("nothing was done and no copy was kept")))
        << program.standardError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Names, WayBackUnderEachName, testing::Values(Naming::Path, Naming::Alias, Naming::Link),
                         namingName);

// A name that may lead elsewhere than at the night.
class WayBackUnderAnIndirectName : public WayBackUnderEachName {};

// The name now leads to another database (here a copy of today's, which nobody wrote into since
// the backup): the backup is not of it, and both stay as they are.
TEST_P(WayBackUnderAnIndirectName, RefusesTheBackupOnceTheNameLeadsToAnotherDatabase)
{
    const std::string other = (database.directory() / "other.fdb").string();
    std::filesystem::copy_file(database.path(), other);
    redirectName(other);
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("je zalohou databaze"))) << program.standardError().toStdString();
    expectSame(endStateOf(other), after);
    expectSame(endStateOf(database.path()), after);
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("*-po-aktualizaci-*"), QStringLiteral("*-navrat-*")}, QDir::Files)
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, WayBackUnderAnIndirectName, testing::Values(Naming::Alias, Naming::Link), namingName);

// After the night the program backed the database up again (a full update run again after a
// failure, a rehearsal): that backup holds what the night changed, and the way back still takes
// the one from before it.
TEST_F(WayBack, TakesTheBackupFromBeforeTheNightNotOneMadeAfterIt)
{
    const QStringList again[] = {{QStringLiteral("--update"), QStringLiteral("c")}, {QStringLiteral("--rehearse")}};
    for (const QStringList& arguments : again) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        program.run(arguments);
        ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
        expectSame(endStateOf(database.path()), before);
        // The next row starts from an updated database again.
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
    }
}

// Each refusal leaves the updated database where it is, with nothing beside it, and says why.
TEST_F(WayBack, RefusesWithThreeAndChangesNothing)
{
    const struct {
        const char* name;
        std::function<void()> arrange;
        QStringList arguments;
        const char* said;
    } cases[] = {
        {"no terminal and no --yes", [] {}, {QStringLiteral("--restore")}, "needs --yes"},
        // The stock command's work is the program's own, not what others did before it.
        {"a commit by another program, then the stock command", [this] {
             db::Connection other;
             other.setDatabase(database.path());
             other.setUser("SYSDBA");
             other.execute("update CISSLUZ set CENA = CENA + 1 where CISLOSLUZBY = (select min(CISLOSLUZBY) from CISSLUZ)");
             other.close();
             ASSERT_EQ(program.run({QStringLiteral("--stock")}), 0) << program.standardError().toStdString();
         }, {QStringLiteral("--restore"), QStringLiteral("--yes")}, "CISSLUZ"},
        {"a commit by another program since", [this] {
             db::Connection other;
             other.setDatabase(database.path());
             other.setUser("SYSDBA");
             other.open();
             other.execute("update QVT_KONFIG set HODNOTACZ = HODNOTACZ where ITEM = (select min(ITEM) from QVT_KONFIG)");
             other.close();
         }, {QStringLiteral("--restore"), QStringLiteral("--yes")}, "QVT_KONFIG"},
        {"a backup file changed since", [this] {
             QFile file(backup());
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.seek(file.size() / 2);
             const char flipped = static_cast<char>(file.peek(1).at(0) ^ 0x55);
             file.write(&flipped, 1);
         }, {QStringLiteral("--restore"), QStringLiteral("--yes")}, "SHA-256"},
        {"a file this program did not back this database up into", [this] {
             ASSERT_TRUE(QFile::copy(backup(), backup() + QStringLiteral(".copy")));
         }, {QStringLiteral("--restore"), backup() + QStringLiteral(".copy"), QStringLiteral("--yes")}, "neni zaloha"},
        // Last: from here on the program's record is not read.
        {"a record of backups that is a link, not the program's own file", [this] {
             const QString record = QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012-zalohy.stav"));
             const QString forged = QDir(program.directory()).filePath(QStringLiteral("forged.stav"));
             ASSERT_TRUE(QFile::rename(record, forged));
             ASSERT_TRUE(QFile::link(forged, record));
         }, {QStringLiteral("--restore"), QStringLiteral("--yes")}, "nema zaznamenanou zadnou zalohu"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        each.arrange();
        const EndState now = endStateOf(database.path());
        EXPECT_EQ(program.run(each.arguments), 3) << program.standardError().toStdString();
        EXPECT_TRUE(program.standardError().contains(QString::fromLatin1(each.said))) << program.standardError().toStdString();
        expectSame(endStateOf(database.path()), now);
        EXPECT_TRUE(kept().isEmpty());
    }
}

// Rows deleted since the backup: another program's deletion refuses the way back, leaving the
// row deleted and the database as it is; this program's own deletions let it through.
struct Deletion {
    const char* name;
    const char* deleted; // the row another program deletes after the night; empty: none
    const char* left;    // how many of that row are left
    int status;
    const char* said;
};

class WayBackAfterDeletions : public WayBack, public testing::WithParamInterface<Deletion> {};

TEST_P(WayBackAfterDeletions, RefusesOnlyAnotherProgramsDeletions)
{
    const Deletion& deletion = GetParam();
    db::Connection other;
    other.setDatabase(database.path());
    other.setUser("SYSDBA");
    if (*deletion.deleted != '\0') {
        ASSERT_EQ(other.execute(deletion.deleted), 1u);
    }
    other.close();
    const EndState now = endStateOf(database.path());
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), deletion.status)
        << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QString::fromLatin1(deletion.said))) << program.standardError().toStdString();
    if (deletion.status == 0) {
        expectSame(endStateOf(database.path()), before);
        return;
    }
    EXPECT_TRUE(program.logEntries().join('\n').contains(QString::fromLatin1(deletion.said)))
        << program.logEntries().join('\n').toStdString();
    expectSame(endStateOf(database.path()), now);
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("*-po-aktualizaci-*"), QStringLiteral("*-navrat-*")}, QDir::Files)
                    .isEmpty());
    EXPECT_EQ(other.selectFirst(deletion.left).integer(0), 0);
    other.close();
}

std::string deletionName(const testing::TestParamInfo<Deletion>& deletion)
{
    return deletion.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WayBackAfterDeletions,
    testing::Values(
        Deletion{"AGuestDeletedByAnotherProgram", "delete from REC_MM_KLIENT where CISLOKLIENTA = 505",
                 "select count(*) from REC_MM_KLIENT where CISLOKLIENTA = 505", 3, "REC_MM_KLIENT 1 radku"},
        Deletion{"ASettingDeletedByAnotherProgram",
                 "delete from QVT_KONFIG where ITEM = 'REC_ZO_Polozka'",
                 "select count(*) from QVT_KONFIG where ITEM = 'REC_ZO_Polozka'", 3,
                 "QVT_KONFIG 1 radku"},
        Deletion{"OnlyThisProgramsOwnDeletions", "", "", 0, "restored from its backup"}),
    deletionName);

// A table of the backup's state dropped by another program since: whether rows were deleted
// cannot be told, so the way back needs the operator's flag that names the risk.
class WayBackAfterATableIsGone : public WayBack, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute("create table TEST_GONE (ID integer not null primary key)");
        connection.execute("insert into TEST_GONE values (1)");
        connection.close();
        WayBack::SetUp();
    }
};

TEST_P(WayBackAfterATableIsGone, GoesOnOnlyWithTheFlagThatAcceptsUnseenDeletions)
{
    const bool accepted = GetParam();
    db::Connection other;
    other.setDatabase(database.path());
    other.setUser("SYSDBA");
    other.execute("drop table TEST_GONE");
    other.close();
    QStringList arguments{QStringLiteral("--restore"), QStringLiteral("--yes")};
    if (accepted)
        arguments.append(QStringLiteral("--accept-unseen-deletions"));
    EXPECT_EQ(program.run(arguments), accepted ? 0 : 3) << program.standardError().toStdString();
    // Said either way: the refusal names the flag, the run that goes on logs what was accepted.
    const QString said = accepted ? program.logEntries().join('\n') : program.standardError();
    EXPECT_TRUE(said.contains(QStringLiteral("TEST_GONE")) && said.contains(QStringLiteral("--accept-unseen-deletions")))
        << said.toStdString();
    expectSame(endStateOf(database.path()), accepted ? before : after);
    EXPECT_EQ(kept().size(), accepted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Flag, WayBackAfterATableIsGone, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& accepted) {
                             return std::string(accepted.param ? "Accepted" : "NotAccepted");
                         });

// The backup's folder made writable by others after the night: anyone could have put another
// file under the backup's name, so the way back refuses and changes nothing.
TEST_F(WayBack, ABackupFolderOthersMayChangeRefusesIt)
{
    std::filesystem::permissions(database.directory(), std::filesystem::perms::others_write, std::filesystem::perm_options::add);
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("smi zapisovat i jini uzivatele"))) << program.standardError().toStdString();
    expectSame(endStateOf(database.path()), after);
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("*-po-aktualizaci-*"), QStringLiteral("*-navrat-*")}, QDir::Files)
                    .isEmpty());
}

// The restored copy's name swapped for a link to another file at the moment the program sets the
// copy's owner and mode: that file keeps its mode and content, and the database stays as it is.
TEST_F(WayBack, ACopyNameSwappedForALinkLeavesTheLinkedFileAlone)
{
    const QDir folder(QString::fromStdString(database.directory().string()));
    const QString target = folder.filePath(QStringLiteral("only-its-owner.bin"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("tajne") == 5);
    }
    using std::filesystem::perms;
    std::filesystem::permissions(target.toStdString(), perms::owner_read | perms::owner_write);
    // A mode the database has and the linked file has not: set through the link, it would show.
    std::filesystem::permissions(database.path(), perms::owner_read | perms::owner_write | perms::group_read);
    const QString hold = folder.filePath(QStringLiteral("hold"));
    ASSERT_FALSE(program.startHeldAt(QStringLiteral("mode"), hold, {QStringLiteral("--restore"), QStringLiteral("--yes")})
                     .isEmpty())
        << program.standardError().toStdString();
    const QStringList copies = folder.entryList({QStringLiteral("hotel-navrat-*.fdb")}, QDir::Files);
    ASSERT_EQ(copies.size(), 1);
    ASSERT_TRUE(QFile::rename(folder.filePath(copies.front()), folder.filePath(QStringLiteral("moved.fdb"))));
    ASSERT_TRUE(QFile::link(target, folder.filePath(copies.front())));
    ASSERT_TRUE(QFile::remove(hold));
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 2) << program.standardError().toStdString();
    EXPECT_EQ(std::filesystem::status(target.toStdString()).permissions(), perms::owner_read | perms::owner_write);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("tajne"));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(database.path())));
    expectSame(endStateOf(database.path()), after);
}

// The embedded engine lets one program at a time open the database: one that has it open keeps
// the way back out.
TEST_F(WayBack, AnotherProgramWithTheDatabaseOpenRefusesIt)
{
    db::Connection other;
    other.setDatabase(database.path());
    other.setUser("SYSDBA");
    other.open();
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("cannot be opened"))) << program.standardError().toStdString();
    other.close();
    expectSame(endStateOf(database.path()), after);
}

// A database large enough that its restore is seen under way.
class WayBackOfALargeDatabase : public WayBack {
protected:
    void SetUp() override
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.open();
        connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
        connection.execute("execute block as declare i integer = 0; begin while (i < 400000) do begin insert into "
                           "TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; "
                           "end end");
        connection.close();
        WayBack::SetUp();
    }
};

// A stop during the restore leaves the updated database under its name, nothing beside it, and
// the log saying so.
TEST_F(WayBackOfALargeDatabase, AStopDuringTheRestoreLeavesTodaysDatabaseInPlace)
{
    program.start({QStringLiteral("--restore"), QStringLiteral("--yes")});
    // The run log names the restored copy just before the restore begins.
    const QDeadlineTimer limit(60000);
    while (!program.logEntries().join('\n').contains(QStringLiteral("NAVRAT         | Obnova zalohy do "))) {
        ASSERT_TRUE(program.isRunning() && !limit.hasExpired()) << program.standardError().toStdString();
        QThread::msleep(2);
    }
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 143) << program.standardError().toStdString();
    expectSame(endStateOf(database.path()), after);
    EXPECT_TRUE(kept().isEmpty());
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("hotel-navrat-*")}, QDir::Files)
                    .isEmpty());
    EXPECT_TRUE(program.logEntries().contains(
        QStringLiteral("NAVRAT CHYBA   | preruseno pri obnove; databaze %1 zustava beze zmeny").arg(QString::fromStdString(database.path()))))
        << program.logEntries().join('\n').toStdString();
}

} // namespace
