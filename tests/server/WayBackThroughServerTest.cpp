// The way back through a server on this machine: the database shut down for the moment its files
// are exchanged, both brought online, and another program's attachment refusing it; through a
// server whose files the program cannot rename, the server's restore over the database from the
// backups this machine keeps.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"
#include "TestServer.h"

#include "db/ResultSet.h"
#include "db/ServiceBackup.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

EndState endStateThroughServer(const std::string& file)
{
    db::Connection connection;
    server::connect(connection, file);
    return nightEndState(connection);
}

// The database of that file through the server holds the state expected, part by part.
void expectState(const EndState& expected, const std::string& file)
{
    for (const auto& [part, rows] : endStateThroughServer(file))
        EXPECT_EQ(rows, expected.at(part)) << part;
}

// The database named by its path, and by an alias of the server's databases.conf (whose file the
// server resolves): each row a night and its way back.
// The server's progress lines of the way back stand under its own name on standard error.
void expectProgressCalledRestore(InstalledProgram& program)
{
    const QString said = program.standardError();
    EXPECT_TRUE(said.contains(QStringLiteral("restore: obnova: "))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("rehearsal"))) << said.toStdString();
}

TEST(WayBackThroughServer, PutsTheBackupBackKeepsTodaysOnlineBesideAndRefusesWhileAnotherProgramIsAttached)
{
    for (const bool throughAlias : {false, true}) {
        SCOPED_TRACE(throughAlias ? "alias HOTEL_WAYBACK" : "path");
        const FreshDatabase fresh(HotelData::Demo);
        const std::filesystem::path file = throughAlias ? std::filesystem::path(server::kWayBackAliasDatabase)
                                                        : std::filesystem::path(fresh.path());
        const std::filesystem::path folder = file.parent_path();
        if (throughAlias) {
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            std::filesystem::copy_file(fresh.path(), file);
        }
        const std::string database = file.string();
        const std::string backup = (folder / "hotel.fbk").string();
        InstalledProgram program;
        program.writeSettingsText(server::settingsFor(throughAlias ? "HOTEL_WAYBACK" : database) + "Backup="
                                  + QByteArray::fromStdString(backup) + "\r\n");
        const EndState before = endStateThroughServer(database);
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        const EndState after = endStateThroughServer(database);
        ASSERT_NE(before.at("reservation lines"), after.at("reservation lines"));

        {
            const server::HeldLock otherProgram(database, "update POS_TAXES set PERCENTAGE = PERCENTAGE where 1 = 0");
            EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3);
            EXPECT_TRUE(program.standardError().contains(QStringLiteral("isql-fb"))) << program.standardError().toStdString();
        }
        expectState(after, database);

        ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
        expectState(before, database);
        expectProgressCalledRestore(program);
        const QStringList kept = QDir(QString::fromStdString(folder.string()))
                                     .entryList({QStringLiteral("hotel-po-aktualizaci-*.fdb")}, QDir::Files);
        ASSERT_EQ(kept.size(), 1);
        expectState(after, (folder / kept.front().toStdString()).string());
        if (throughAlias)
            std::filesystem::remove_all(folder);
    }
}

// Rewrites the record's entry of `backup` as an earlier version could have written it: naming
// `file`, with `sha256`.
void rewriteRecord(const InstalledProgram& program, const std::string& backup, const std::string& file,
                   const QByteArray& sha256)
{
    QList<QByteArray> lines;
    for (QList<QByteArray> fields : program.backupRecord()) {
        if (fields.size() > 3 && fields[1] == QByteArray::fromStdString(backup)) {
            fields[1] = QByteArray::fromStdString(file);
            fields[3] = sha256;
        }
        lines.append(fields.join('\t'));
    }
    QFile record(program.directory() + QStringLiteral("/QVTDPH2012-zalohy.stav"));
    ASSERT_TRUE(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    record.write(lines.join('\n') + '\n');
}

// The program runs as nobody: the server's folder is closed to it, as on a server whose files
// belong to its own user, so the server restores over the database. Its backups go to a folder
// of its own; `backup` there is the night's.
void closeTheServersFiles(InstalledProgram& program, const FreshDatabase& database, const std::string& backup)
{
    std::filesystem::permissions(database.directory(), std::filesystem::perms::owner_all);
    std::filesystem::create_directories(std::filesystem::path(backup).parent_path());
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                              + "\r\n");
    ASSERT_EQ(QProcess::execute(QStringLiteral("chown"),
                                {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), program.directory()}),
              0);
    program.startThrough({QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                          QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")});
}

// Nothing of the way back is left beside the database or the backup.
void expectNothingKeptBeside(const FreshDatabase& database, const std::string& backup)
{
    for (const std::filesystem::path& folder : {database.directory(), std::filesystem::path(backup).parent_path()})
        EXPECT_TRUE(QDir(QString::fromStdString(folder.string()))
                        .entryList({QStringLiteral("*-po-aktualizaci-*"), QStringLiteral("*-navrat-*")}, QDir::Files)
                        .isEmpty())
            << folder;
}

// Another login's work that the way back cannot tell from the program's own by the numbers it
// recorded: committed while the update runs (among the program's own transactions), while the
// protocol is laid out (after the update's own work), or after the night in a database another
// tool has backed up and restored since (whose transactions count anew). The way back refuses
// rather than lose it, and the work stays.
TEST(WayBackThroughServer, WorkAnotherLoginDidThatCannotBeToldApartRefusesItAndStays)
{
    enum class When { DuringTheUpdate, WhileTheProtocolIsLaidOut, AfterARestoreByAnotherTool };
    const struct {
        const char* name;
        When when;
        QString said;
    } rows[] = {
        {"during the update", When::DuringTheUpdate, QStringLiteral("zacal v databazi transakce i nekdo jiny")},
        {"while the protocol is laid out", When::WhileTheProtocolIsLaidOut, QStringLiteral("CISSLUZ")},
        {"after a restore by another tool", When::AfterARestoreByAnotherTool,
         QStringLiteral("byla od zalohy obnovena nebo nahrazena")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FreshDatabase database(HotelData::Demo);
        db::Connection other;
        InstalledProgram program;
        program.writeSettingsText(server::settingsFor(database.path()) + "Backup=hotel.fbk\r\n");
        const QString hold = program.directory() + QStringLiteral("/hold");
        const QStringList night = {QStringLiteral("--update"), QStringLiteral("c")};
        switch (row.when) {
        case When::DuringTheUpdate:
            server::connect(other, database.path());
            server::slowDown(other, "POS_TAXES", "update", 2);
            other.close();
            program.start(night);
            server::waitForEntry(program, server::kStep1);
            break;
        case When::WhileTheProtocolIsLaidOut:
            ASSERT_FALSE(program.startHeldAt(QStringLiteral("layout"), hold, night).isEmpty())
                << program.standardError().toStdString();
            break;
        case When::AfterARestoreByAnotherTool: {
            ASSERT_EQ(program.run(night), 0) << program.standardError().toStdString();
            const QString cycled = QString::fromStdString((database.directory() / "cycled.fbk").string());
            const QString file = QString::fromStdString(database.path());
            const QStringList service = {QStringLiteral("-se"), QString::fromStdString(server::address("service_mgr")),
                                         QStringLiteral("-user"), QStringLiteral("SYSDBA"), QStringLiteral("-password"),
                                         QString::fromLatin1(server::kPassword)};
            for (const QStringList& files : {QStringList{QStringLiteral("-b"), file, cycled},
                                             QStringList{QStringLiteral("-rep"), cycled, file}})
                ASSERT_EQ(QProcess::execute(QStringLiteral("gbak"), files.mid(0, 1) + service + files.mid(1)), 0)
                    << files.front().toStdString();
            break;
        }
        }
        server::connect(other, database.path());
        other.execute("update CISSLUZ set CENA = 4242 where CISLOSLUZBY = 1");
        other.close();
        if (row.when != When::AfterARestoreByAnotherTool) {
            if (row.when == When::WhileTheProtocolIsLaidOut) {
                ASSERT_TRUE(QFile::remove(hold));
            }
            ASSERT_TRUE(program.endsByItself());
            ASSERT_EQ(program.exitCode(), 0) << program.standardError().toStdString();
        }

        program.setEnvironment(QStringLiteral("DPH2012_TEST_HOLD"), QString());
        EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3) << program.standardError().toStdString();
        EXPECT_TRUE(program.standardError().contains(row.said)) << program.standardError().toStdString();
        server::connect(other, database.path());
        EXPECT_EQ(other.selectFirst("select CENA from CISSLUZ where CISLOSLUZBY = 1").integer(0), 4242);
    }
}

// A login that commits and leaves just before the database is shut down for the exchange: its
// work (a change the look finds, or a deletion that leaves nothing to find) is noticed then, the
// way back refuses, and the work stays in the database.
TEST(WayBackThroughServer, ALoginThatCommitsJustBeforeTheShutdownRefusesItAndItsWorkStays)
{
    struct Row {
        const char* name;
        bool restoresOver; // the program cannot rename the server's files
        const char* work;
        const char* check;
        const char* expected;
        const char* named; // in the refusal
    };
    const char* const update =
        "update QVT_KONFIG set HODNOTACZ = 'zmena jineho' where ITEM = (select min(ITEM) from QVT_KONFIG)";
    const char* const updated = "select HODNOTACZ from QVT_KONFIG where ITEM = (select min(ITEM) from QVT_KONFIG)";
    const char* const deletion = "delete from QVT_KONFIG where ITEM = 'TEST_SMAZAT'";
    const char* const deleted = "select count(*) from QVT_KONFIG where ITEM = 'TEST_SMAZAT'";
    const Row rows[] = {
        {"update, exchanging the files", false, update, updated, "zmena jineho", "QVT_KONFIG"},
        {"deletion, exchanging the files", false, deletion, deleted, "0", "transakci"},
        {"update, restoring over", true, update, updated, "zmena jineho", "QVT_KONFIG"},
        {"deletion, restoring over", true, deletion, deleted, "0", "transakci"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.restoresOver && ::geteuid() != 0) {
            ADD_FAILURE() << "restoring over needs the program to run as another user than the server, which needs root";
            continue;
        }
        const FreshDatabase database(HotelData::Demo);
        InstalledProgram program;
        const std::string backup = row.restoresOver ? (program.directory() + QStringLiteral("/zalohy/hotel.fbk")).toStdString()
                                                    : (database.directory() / "hotel.fbk").string();
        {
            // The row the deletion takes, one the update has no use for.
            db::Connection mark;
            server::connect(mark, database.path());
            mark.execute("insert into QVT_KONFIG (ITEM, HODNOTACZ) values ('TEST_SMAZAT', 'x')");
            mark.close();
        }
        if (row.restoresOver)
            closeTheServersFiles(program, database, backup);
        else
            program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                                      + "\r\n");
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        // Where the program, whoever runs it, may create it.
        const QString hold = program.directory() + QStringLiteral("/hold");
        ASSERT_FALSE(
            program.startHeldAt(QStringLiteral("shutdown"), hold, {QStringLiteral("--restore"), QStringLiteral("--yes")})
                .isEmpty())
            << program.standardError().toStdString();
        {
            db::Connection other;
            server::connect(other, database.path());
            other.execute(row.work);
            other.close();
        }
        ASSERT_TRUE(QFile::remove(hold));
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), 3) << program.standardError().toStdString();
        EXPECT_TRUE(program.standardError().contains(QString::fromLatin1(row.named))) << program.standardError().toStdString();
        db::Connection check;
        server::connect(check, database.path());
        EXPECT_EQ(check.selectFirst(row.check).text(0), row.expected);
        EXPECT_EQ(check.selectFirst("select MON$SHUTDOWN_MODE from MON$DATABASE").text(0), "0");
        expectNothingKeptBeside(database, backup);
    }
}

// Restoring over the database, as closeTheServersFiles arranges it. The update has run.
class WayBackWithoutTheServersFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the program must run as another user than the server, which needs root";
        closeTheServersFiles(program, database, backup);
        before = endStateThroughServer(database.path());
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        after = endStateThroughServer(database.path());
    }

    const FreshDatabase database{HotelData::Demo};
    InstalledProgram program;
    // In a folder of the program's user: the night's backup is this machine's file.
    const std::string backup = (program.directory() + QStringLiteral("/zalohy/hotel.fbk")).toStdString();
    EndState before;
    EndState after;
};

// The program may write in the database's folder (through its group) but the database is not its
// own: it could not give a restored copy the database's owner, so the server restores over it.
TEST_F(WayBackWithoutTheServersFiles, AFolderItMayWriteButADatabaseItDoesNotOwnIsRestoredOverByTheServer)
{
    const QString folder = QString::fromStdString(database.directory().string());
    ASSERT_EQ(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("root:nogroup"), folder}), 0);
    using std::filesystem::perms;
    std::filesystem::permissions(database.directory(), perms::owner_all | perms::group_all);
    std::filesystem::permissions(database.path(), perms::owner_read | perms::owner_write | perms::group_read | perms::group_write);
    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    expectState(before, database.path());
    EXPECT_EQ(QDir(QString::fromStdString(std::filesystem::path(backup).parent_path().string()))
                  .entryList({QStringLiteral("hotel-po-aktualizaci-*.fbk")}, QDir::Files)
                  .size(),
              1);
}

// A backup recorded by an earlier version that the server wrote itself (here: in the server's
// closed folder), or one recorded without its SHA-256, cannot be proved: it is never put back,
// whatever its server would restore, and the refusal says why.
TEST_F(WayBackWithoutTheServersFiles, RefusesABackupOfAnEarlierRecordThatCannotBeProvedAndChangesNothing)
{
    const std::string serversFile = (database.directory() / "hotel.fbk").string();
    std::filesystem::copy_file(backup, serversFile);
    const struct {
        const char* name;
        std::string file;
        QString said;
    } rows[] = {
        {"a server's file this machine cannot read", serversFile,
         QStringLiteral("zalohu %1 tento pocitac nemuze precist").arg(QString::fromStdString(serversFile))},
        {"no SHA-256 recorded", backup,
         QStringLiteral("u zalohy %1 neni zaznamenan jeji SHA-256").arg(QString::fromStdString(backup))},
    };
    std::string recorded = backup;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        rewriteRecord(program, recorded, row.file, QByteArray());
        recorded = row.file;
        EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3)
            << program.standardError().toStdString();
        EXPECT_TRUE(program.standardError().contains(row.said)) << program.standardError().toStdString();
        EXPECT_EQ(program.logEntries().filter(QStringLiteral("NAVRAT ODMITNUT")).filter(row.said).size(), 1)
            << program.logEntries().join(QLatin1Char('\n')).toStdString();
        expectState(after, database.path());
        expectNothingKeptBeside(database, backup);
    }
}

// Another login deleted a row since the backup, and left: the backup's state, restored beside the
// database, still has it, so the way back refuses and the database stays as it is, online, with
// nothing beside it.
TEST_F(WayBackWithoutTheServersFiles, ADeletionByAnotherLoginSinceTheBackupRefusesIt)
{
    db::Connection other;
    server::connect(other, database.path());
    ASSERT_EQ(other.execute("delete from REC_MM_KLIENT where CISLOKLIENTA = 505"), 1u);
    other.close();
    const EndState now = endStateThroughServer(database.path());
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("REC_MM_KLIENT 1 radku"))) << program.standardError().toStdString();
    expectState(now, database.path());
    EXPECT_EQ(other.selectFirst("select count(*) from REC_MM_KLIENT where CISLOKLIENTA = 505").integer(0), 0);
    EXPECT_EQ(other.selectFirst("select MON$SHUTDOWN_MODE from MON$DATABASE").text(0), "0");
    other.close();
    expectNothingKeptBeside(database, backup);
}

// Where the backup's state cannot be restored beside the database (here: the record of such
// copies cannot be written), deletions since the backup cannot be told: the way back refuses,
// changing nothing, and goes on only with the flag that accepts the risk.
TEST_F(WayBackWithoutTheServersFiles, WithoutTheBackupsStateBesideGoesOnOnlyWithTheFlagThatAcceptsUnseenDeletions)
{
    ASSERT_TRUE(QDir(program.directory()).mkdir(QStringLiteral("QVTDPH2012-zkouska.stav")));
    int told = 0;
    for (const bool accepted : {false, true}) {
        SCOPED_TRACE(accepted ? "with the flag" : "without it");
        QStringList arguments{QStringLiteral("--restore"), QStringLiteral("--yes")};
        if (accepted)
            arguments.append(QStringLiteral("--accept-unseen-deletions"));
        EXPECT_EQ(program.run(arguments), accepted ? 0 : 3) << program.standardError().toStdString();
        const QStringList entries = program.logEntries().filter(QStringLiteral("QVTDPH2012-zkouska.stav"));
        EXPECT_EQ(entries.filter(QStringLiteral("--accept-unseen-deletions")).size(), ++told)
            << program.logEntries().join(QLatin1Char('\n')).toStdString();
        expectState(accepted ? before : after, database.path());
        EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                        .entryList({QStringLiteral("*-navrat-*")}, QDir::Files)
                        .isEmpty());
    }
}

// The night's backup is this machine's file with its SHA-256 recorded; a restore over the
// database that fails (the backup cut short once the database is shut down) puts today's state
// back from the file kept on this machine, and the next way back puts the backup's state in.
TEST_F(WayBackWithoutTheServersFiles, RestoresOverAndPutsTodaysStateBackWhenThatFails)
{
    const QList<QList<QByteArray>> record = program.backupRecord();
    ASSERT_EQ(record.size(), 1);
    EXPECT_EQ(record.front().at(1), QByteArray::fromStdString(backup));
    EXPECT_EQ(record.front().at(3), sha256Of(backup));
    QFile file(QString::fromStdString(backup));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();

    const QString hold = program.directory() + QStringLiteral("/hold");
    ASSERT_FALSE(program.startHeldAt(QStringLiteral("restore"), hold, {QStringLiteral("--restore"), QStringLiteral("--yes")})
                     .isEmpty())
        << program.standardError().toStdString();
    ASSERT_TRUE(file.resize(whole.size() / 2));
    ASSERT_TRUE(QFile::remove(hold));
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 2) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("the way back ended with an error: ")))
        << program.standardError().toStdString();
    expectState(after, database.path());
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("je vracena do stavu po aktualizaci")).size(), 1)
        << program.logEntries().join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(whole) == whole.size());
    file.close();
    program.setEnvironment(QStringLiteral("DPH2012_TEST_HOLD"), QString());
    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    expectState(before, database.path());
    expectProgressCalledRestore(program);
    const QDir backups(QString::fromStdString(std::filesystem::path(backup).parent_path().string()));
    const QStringList kept = backups.entryList({QStringLiteral("hotel-po-aktualizaci-*.fbk")}, QDir::Files, QDir::Time);
    ASSERT_EQ(kept.size(), 2);
    for (const QString& each : kept)
        EXPECT_EQ(std::filesystem::status(backups.filePath(each).toStdString()).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << "owner-only: " << each.toStdString();
    const std::string keptDatabase = (database.directory() / "kept.fdb").string();
    db::ServiceRestore(server::address(database.path()), "SYSDBA", server::kPassword, 0)
        .run(backups.filePath(kept.front()).toStdString(), keptDatabase, {});
    expectState(after, keptDatabase);
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("*-navrat-*")}, QDir::Files)
                    .isEmpty());
}

// Once the database is shut down, a stop waits until the name holds a whole database again.
TEST_F(WayBackWithoutTheServersFiles, AStopOnceTheDatabaseIsShutDownWaitsForTheRestoredDatabase)
{
    program.start({QStringLiteral("--restore"), QStringLiteral("--yes")});
    server::waitForEntry(program, QStringLiteral("NAVRAT         | Databaze %1 je uzavrena pro ostatni")
                                      .arg(QString::fromStdString(database.path())));
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 143) << program.standardError().toStdString();
    expectState(before, database.path());
    EXPECT_TRUE(program.logEntries().contains(QStringLiteral("NAVRAT         | Databaze %1 je obnovena ze zalohy %2")
                                                  .arg(QString::fromStdString(database.path()), QString::fromStdString(backup))))
        << program.logEntries().join(QLatin1Char('\n')).toStdString();
}

} // namespace
