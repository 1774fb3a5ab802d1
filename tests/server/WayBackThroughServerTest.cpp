// The way back through a server on this machine: the database shut down for the moment its files
// are exchanged, both brought online, and another program's attachment refusing it; through a
// server whose files the program cannot rename, the server's restore over the database.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"
#include "TestServer.h"

#include "db/ResultSet.h"
#include "db/ServiceBackup.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
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

// A login that commits and leaves just before the database is shut down for the exchange: its
// work (a change the look finds, or a deletion that leaves nothing to find) is noticed then, the
// way back refuses, and the work stays in the database.
TEST(WayBackThroughServer, ALoginThatCommitsJustBeforeTheShutdownRefusesItAndItsWorkStays)
{
    struct Row {
        const char* name;
        const char* work;
        const char* check;
        const char* expected;
        const char* named; // in the refusal
    };
    const Row rows[] = {
        {"update", "update QVT_KONFIG set HODNOTACZ = 'zmena jineho' where ITEM = (select min(ITEM) from QVT_KONFIG)",
         "select HODNOTACZ from QVT_KONFIG where ITEM = (select min(ITEM) from QVT_KONFIG)", "zmena jineho", "QVT_KONFIG"},
        {"deletion", "delete from QVT_KONFIG where ITEM = 'TEST_SMAZAT'",
         "select count(*) from QVT_KONFIG where ITEM = 'TEST_SMAZAT'", "0", "transakci"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const FreshDatabase database(HotelData::Demo);
        const std::string backup = (database.directory() / "hotel.fbk").string();
        {
            // The row the deletion takes, one the update has no use for.
            db::Connection mark;
            server::connect(mark, database.path());
            mark.execute("insert into QVT_KONFIG (ITEM, HODNOTACZ) values ('TEST_SMAZAT', 'x')");
            mark.close();
        }
        InstalledProgram program;
        program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup) + "\r\n");
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        const QString hold = QString::fromStdString((database.directory() / "hold").string());
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
        EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                        .entryList({QStringLiteral("*-po-aktualizaci-*"), QStringLiteral("*-navrat-*")}, QDir::Files)
                        .isEmpty());
    }
}

// The program runs as nobody: the server's folder is closed to it, as on a server whose files
// belong to its own user. The update has run.
class WayBackWithoutTheServersFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the program must run as another user than the server, which needs root";
        std::filesystem::permissions(database.directory(), std::filesystem::perms::owner_all);
        program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                                  + "\r\n");
        ASSERT_EQ(QProcess::execute(QStringLiteral("chown"),
                                    {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), program.directory()}),
                  0);
        program.startThrough({QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                              QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")});
        before = endStateThroughServer(database.path());
        ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
        after = endStateThroughServer(database.path());
    }

    const FreshDatabase database{HotelData::Demo};
    const std::string backup = (database.directory() / "hotel.fbk").string();
    InstalledProgram program;
    EndState before;
    EndState after;
};

// A backup that this machine cannot read (here: in the server's closed folder) cannot be hashed:
// it is never put back, whatever its server would restore.
TEST_F(WayBackWithoutTheServersFiles, RefusesABackupThisMachineCannotReadAndChangesNothing)
{
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 3) << program.standardError().toStdString();
    const QString why = QStringLiteral("zalohu %1 tento pocitac nemuze precist").arg(QString::fromStdString(backup));
    EXPECT_TRUE(program.standardError().contains(why)) << program.standardError().toStdString();
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("NAVRAT ODMITNUT")).filter(why).size(), 1)
        << program.logEntries().join(QLatin1Char('\n')).toStdString();
    expectState(after, database.path());
    EXPECT_TRUE(QDir(QString::fromStdString(database.directory().string()))
                    .entryList({QStringLiteral("*-po-aktualizaci-*")}, QDir::Files)
                    .isEmpty());
}

// The backup this machine may read, the server's folder still closed to the program: the
// record holds `content`'s size and SHA-256, as the night would have noted them for it.
void makeReadableAndRecorded(const std::filesystem::path& folder, const std::string& backup, const QByteArray& content,
                             const QString& programDirectory)
{
    QFile file(QString::fromStdString(backup));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
    file.close();
    using std::filesystem::perms;
    std::filesystem::permissions(folder, perms::owner_all | perms::group_exec | perms::others_exec);
    std::filesystem::permissions(backup, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    QFile record(programDirectory + QStringLiteral("/QVTDPH2012-zalohy.stav"));
    ASSERT_TRUE(record.open(QIODevice::ReadWrite));
    QList<QByteArray> lines = record.readAll().split('\n');
    for (QByteArray& line : lines) {
        QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4 || fields[1] != QByteArray::fromStdString(backup))
            continue;
        fields[2] = QByteArray::number(content.size());
        fields[3] = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        line = fields.join('\t');
    }
    ASSERT_TRUE(record.resize(0) && record.seek(0));
    record.write(lines.join('\n'));
}

TEST_F(WayBackWithoutTheServersFiles, RestoresOverAndPutsTodaysStateBackWhenThatFails)
{
    QFile file(QString::fromStdString(backup));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    // A backup that ends half way, recorded as it is: only its restore can find out.
    makeReadableAndRecorded(database.directory(), backup, whole.left(whole.size() / 2), program.directory());
    EXPECT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 2);
    expectState(after, database.path());
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("je vracena do stavu po aktualizaci")).size(), 1)
        << program.logEntries().join(QLatin1Char('\n')).toStdString();

    makeReadableAndRecorded(database.directory(), backup, whole, program.directory());
    ASSERT_EQ(program.run({QStringLiteral("--restore"), QStringLiteral("--yes")}), 0) << program.standardError().toStdString();
    expectState(before, database.path());
    expectProgressCalledRestore(program);
    const QStringList kept = QDir(QString::fromStdString(database.directory().string()))
                                 .entryList({QStringLiteral("hotel-po-aktualizaci-*.fbk")}, QDir::Files, QDir::Time);
    ASSERT_EQ(kept.size(), 2);
    const std::string keptDatabase = (database.directory() / "kept.fdb").string();
    db::ServiceRestore(server::address(database.path()), "SYSDBA", server::kPassword, 0)
        .run((database.directory() / kept.front().toStdString()).string(), keptDatabase, {});
    expectState(after, keptDatabase);
}

// Once the database is shut down, a stop waits until the name holds a whole database again.
TEST_F(WayBackWithoutTheServersFiles, AStopOnceTheDatabaseIsShutDownWaitsForTheRestoredDatabase)
{
    QFile file(QString::fromStdString(backup));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    makeReadableAndRecorded(database.directory(), backup, file.readAll(), program.directory());
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
