// The safety net as a hotel meets it, through its server: the check before and after, the
// backup through the server's own services manager onto this machine, and the warning about the
// attachment that another program keeps open meanwhile.

#include "FreshDatabase.h"
#include "RowDump.h"
#include "TestServer.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

// The SHA-256 the program's record of backups holds for that file.
QByteArray recordedSha256(const InstalledProgram& program, const std::string& file)
{
    for (const QList<QByteArray>& fields : program.backupRecord())
        if (fields.size() > 3 && fields[1] == QByteArray::fromStdString(file))
            return fields[3];
    return "not recorded";
}

TEST(SafetyNetThroughServer, CheckBackupAndAttachmentWarningGoThroughTheServer)
{
    const FreshDatabase database(HotelData::Demo);
    const std::string backup = (database.directory() / "hotel.fbk").string();
    // Another program keeps an attachment open, as the hotel system does at night.
    const server::HeldLock otherProgram(database.path(), "update POS_TAXES set PERCENTAGE = PERCENTAGE where 1 = 0");
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                              + "\r\n");

    // What a run killed while it wrote the backup leaves: the check names it, the backup removes it.
    const std::string unfinished = backup + ".dph2012-castecna";
    std::ofstream(unfinished) << "cut short";
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    EXPECT_FALSE(program.hasRunLog());
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Zbyla nedokoncena zaloha (odstrani ji pristi zaloha): ")
                                                  + QString::fromStdString(unfinished)))
        << program.standardOutput().toStdString();

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    // The server tells of every table; standard error gets at most one of its lines every 3 s.
    const qsizetype serverLines = program.standardError().count(QRegularExpression(
        QStringLiteral("\\ndph2012: backup: (writing data for table|\\d+ records written)")));
    EXPECT_LE(serverLines, 1 + clock.elapsed() / 3000) << program.standardError().toStdString();
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral(
                  "^               \\| Pripojeno dalsich: 1 \\(SYSDBA@127\\.0\\.0\\.1/\\d+ \\S*isql-fb\\)$"))).size(),
              1)
        << entries.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(entries.contains(QStringLiteral("ZALOHA         | ") + QString::fromStdString(backup)));
    EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral("^ZALOHA OK      \\| [1-9]\\d* B, "))).size(), 1);
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
    EXPECT_FALSE(std::filesystem::exists(unfinished));
    EXPECT_EQ(entries.filter(QStringLiteral("ZALOHA         | odstranena nedokoncena zaloha drivejsiho behu ")
                             + QString::fromStdString(unfinished))
                  .size(),
              1);
    // The backup is the program's own file on this machine, its SHA-256 recorded for the way back.
    EXPECT_EQ(std::filesystem::status(backup).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(recordedSha256(program, backup), sha256Of(backup));

    // The other attachment is reported but not counted: nothing of the update is left.
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 0);
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Pripojeno dalsich: 1")));

    // The backup restores through the same server, and holds the data as it was before the update.
    const std::string restored = (database.directory() / "restored.fdb").string();
    const QString service = QString::fromStdString(server::address("service_mgr"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("gbak"),
                                {QStringLiteral("-c"), QStringLiteral("-se"), service, QStringLiteral("-user"),
                                 QStringLiteral("SYSDBA"), QStringLiteral("-password"),
                                 QString::fromLatin1(server::kPassword), QString::fromStdString(backup),
                                 QString::fromStdString(restored)}),
              0);
    db::Connection copy;
    server::connect(copy, restored);
    EXPECT_EQ(copy.select("select count(*) from POS_TAXES where PERCENTAGE = 10").integer(0), 2);
    EXPECT_EQ(copy.select("select count(*) from FBS_VAT where VAT_RATE = 14").integer(0), 0);
}

// The backup is written on this machine by every form of connection string: in a directory with
// Czech letters, and under a relative name resolved where the program runs (never against the
// server's working directory), an earlier file of that name left as it is.
TEST(SafetyNetThroughServer, TheBackupIsThisMachinesFileByEveryConnectionForm)
{
    const FreshDatabase database(HotelData::Demo);
    const std::filesystem::path czech = database.directory() / std::filesystem::u8path("Účetní záloha");
    std::filesystem::create_directory(czech);
    std::filesystem::permissions(czech, std::filesystem::perms::owner_all);
    std::filesystem::copy_file(database.path(), czech / "hotel.fdb");
    std::ifstream portFile(std::string(SERVER_DIR) + "/port"), pidFile(std::string(SERVER_DIR) + "/pid");
    std::string port, pid;
    ASSERT_TRUE(portFile >> port && pidFile >> pid);
    const std::filesystem::path serverDir = std::filesystem::read_symlink("/proc/" + pid + "/cwd");
    const std::string relative = "dph2012-" + database.directory().filename().string() + ".fbk";

    for (const bool byRelativeName : {false, true}) {
        InstalledProgram program;
        const std::string alias = byRelativeName ? server::address(database.path())
                                                 : "inet://127.0.0.1:" + port + "/" + (czech / "hotel.fdb").string();
        const std::filesystem::path programDir = program.directory().toStdString();
        const std::filesystem::path earlier = programDir / relative;
        if (byRelativeName)
            std::ofstream(earlier) << "an earlier backup";
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(alias) + "\r\nUser=SYSDBA\r\nPassword="
                                  + server::kPassword + "\r\nBackup="
                                  + QByteArray::fromStdString(byRelativeName ? relative : (czech / "hotel.fbk").string())
                                  + "\r\n");
        EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << alias << program.standardError().toStdString();
        const QStringList entries = program.logEntries();
        const QStringList started = entries.filter(QRegularExpression(QStringLiteral("^ZALOHA         \\| ")));
        ASSERT_EQ(started.size(), 1) << alias << entries.join('\n').toStdString();
        const std::filesystem::path named = started[0].mid(17).toStdString();
        const std::filesystem::path file = byRelativeName ? programDir / named : named;
        ASSERT_TRUE(std::filesystem::exists(file)) << alias << " " << file;
        const auto size = std::filesystem::file_size(file);
        EXPECT_GT(size, 0u);
        EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral("^ZALOHA OK      \\| %1 B, ").arg(size))).size(), 1)
            << alias << entries.join('\n').toStdString();
        EXPECT_EQ(recordedSha256(program, started[0].mid(17).toStdString()), sha256Of(file.string())) << alias;
        if (byRelativeName) {
            EXPECT_TRUE(named.is_absolute()) << "the record holds the whole path, for a way back started elsewhere";
            EXPECT_FALSE(std::filesystem::exists(serverDir / relative)) << "nothing in the server's working directory";
            EXPECT_NE(file, earlier) << "an existing file is not overwritten";
            std::ifstream text(earlier);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), "an earlier backup");
        }
    }
}

// A million rows: about 170 MB of backup, so that a signal comes while gbak writes.
void addBulk(db::Connection& connection)
{
    connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
    connection.execute("execute block as declare i integer = 0; begin while (i < 1000000) do begin "
                       "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid()) || "
                       "uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
}

// A stop signal while the service writes the backup: the backup is abandoned within seconds,
// its unfinished file goes, nothing of the update is sent, the shell's status. The database is
// large enough (about 170 MB of backup) that the signal comes while gbak writes.
TEST(SafetyNetThroughServer, AStopSignalDuringTheBackupAbandonsItWithinSecondsAndLeavesNoFile)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection connection;
    server::connect(connection, database.path());
    addBulk(connection);
    connection.close();
    const std::string backup = (database.directory() / "hotel.fbk").string();
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                              + "\r\n");
    const QString started = QStringLiteral("ZALOHA         | ") + QString::fromStdString(backup);

    int run = 0;
    for (const auto& [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"},
                                        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}}) {
        ++run;
        program.start({QStringLiteral("x")});
        server::waitForEntry(program, started, run);
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
        ASSERT_TRUE(program.endsByItself());
        const qint64 elapsed = sinceSignal.elapsed();
        std::printf("%s: ended %.1f s after the signal\n", name, static_cast<double>(elapsed) / 1000.0);

        const QStringList entries = program.logEntries();
        const QStringList after = entries.mid(entries.lastIndexOf(started) + 1);
        EXPECT_TRUE(program.exitedNormally());
        EXPECT_EQ(program.exitCode(), 128 + signal) << name;
        EXPECT_EQ(after, (QStringList{QStringLiteral("ZALOHA CHYBA   | preruseno, nedokoncena zaloha %1 odstranena")
                                          .arg(QString::fromStdString(backup)),
                                      QStringLiteral("PRERUSENO      | ") + name}))
            << name << " run " << run;
        EXPECT_LT(elapsed, 10000) << name;
        EXPECT_FALSE(std::filesystem::exists(backup)) << name << " run " << run;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(database.directory()), {}), 1) << "only the database";
    }
    EXPECT_EQ(connection.select("select count(*) from POS_TAXES where PERCENTAGE = 10").integer(0), 2)
        << "nothing of the update was sent";
}

// Another tool's backup of the same database runs while the program's is stopped: only the
// program's own gbak is stopped, the other tool's backup ends whole.
TEST(SafetyNetThroughServer, AStopDuringTheBackupLeavesAnotherToolsBackupRunning)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection connection;
    server::connect(connection, database.path());
    addBulk(connection);
    const std::string backup = (database.directory() / "hotel.fbk").string();
    const std::string othersBackup = (database.directory() / "other-tool.fbk").string();
    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=" + QByteArray::fromStdString(backup)
                              + "\r\n");
    const std::string gbaks = "select count(*) from MON$ATTACHMENTS where MON$SYSTEM_FLAG = 0 and "
                              "MON$GARBAGE_COLLECTION = 0 and MON$REMOTE_PID is null and MON$REMOTE_PROCESS is null";
    // On a loaded machine the program's backup may end before the other tool is attached: then
    // nothing was stopped, and the night is tried again.
    bool stoppedMidway = false;
    for (int attempt = 1; attempt <= 3 && !stoppedMidway; ++attempt) {
        std::filesystem::remove(backup);
        std::filesystem::remove(othersBackup);
        const qsizetype logged = program.logEntries().size();
        program.start({QStringLiteral("x")});
        // The program's gbak hands it the backup: it is attached, and known to be the program's.
        const std::filesystem::path unfinished = backup + ".dph2012-castecna";
        while (!std::filesystem::exists(unfinished) || std::filesystem::file_size(unfinished) == 0)
            ASSERT_TRUE(program.stillRunningAfter(10)) << program.standardError().toStdString();

        QProcess otherTool;
        otherTool.start(QStringLiteral("gbak"),
                        {"-b", "-g", "-se", QString::fromStdString(server::address("service_mgr")),
                         QString::fromStdString(database.path()), QString::fromStdString(othersBackup), "-user",
                         "SYSDBA", "-password", QString::fromLatin1(server::kPassword)});
        ASSERT_TRUE(otherTool.waitForStarted());
        while (connection.select(gbaks).integer(0) < 2 && otherTool.state() == QProcess::Running && program.isRunning())
            otherTool.waitForFinished(10);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        ASSERT_TRUE(program.endsByItself());
        ASSERT_TRUE(otherTool.waitForFinished(120000));
        if (!program.logEntries().mid(logged).filter(QStringLiteral("ZALOHA OK")).isEmpty())
            continue;
        stoppedMidway = true;
        EXPECT_EQ(program.exitCode(), 143);
        EXPECT_EQ(otherTool.exitCode(), 0) << otherTool.readAllStandardError().toStdString()
                                           << otherTool.readAllStandardOutput().toStdString();
        ASSERT_TRUE(std::filesystem::exists(othersBackup));
        EXPECT_GT(std::filesystem::file_size(othersBackup), 50'000'000u);
        EXPECT_FALSE(std::filesystem::exists(backup)) << "the program's own unfinished backup is gone";
    }
    EXPECT_TRUE(stoppedMidway) << "the program's backup always ended before the other tool's began";
}

// The rehearsal through the server: the backup comes to this machine and its file is restored
// into a copy beside the database on the server; a stop signal while the copy is being updated
// ends the run with the copy dropped.
TEST(RehearsalThroughServer, ACopyOnTheServerIsUpdatedAndAStopSignalDuringItsUpdateDropsIt)
{
    const FreshDatabase database(HotelData::Demo);
    const auto copies = [&] {
        QStringList found;
        for (const auto& entry : std::filesystem::directory_iterator(database.directory()))
            if (entry.path().string().ends_with("-zkouska.fdb"))
                found.append(QString::fromStdString(entry.path().string()));
        return found;
    };
    InstalledProgram program;
    // A name relative to where the program runs: a server that had to read the backup by its
    // name would look for it in its own working directory.
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup=hotel.fbk\r\n");
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardOutput().toStdString();
    EXPECT_EQ(copies(), QStringList());
    const std::string backup = (program.directory() + QStringLiteral("/hotel.fbk")).toStdString();
    EXPECT_EQ(recordedSha256(program, backup), sha256Of(backup));
    EXPECT_TRUE(program.logEntries().contains(QStringLiteral("ZKOUSKA        | ")
                                              + QString::fromStdString((database.directory() / "hotel-zkouska.fdb").string())))
        << program.logEntries().join('\n').toStdString();

    db::Connection connection;
    server::connect(connection, database.path());
    server::slowDown(connection, "POS_TAXES", "update", 2); // the copy gets the trigger with the backup
    const std::string before = dumpRows(connection, "select * from POS_TAXES order by 1");
    connection.close();
    program.start({QStringLiteral("--rehearse")});
    const QString rehearsalLog = program.directory() + QStringLiteral("/QVTDPH2012-zkouska.log");
    while (runLogEntries(rehearsalLog).filter(server::kStep1).size() < 2)
        ASSERT_TRUE(program.stillRunningAfter(20)) << program.standardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 143);
    EXPECT_EQ(copies(), QStringList());
    EXPECT_EQ(dumpRows(connection, "select * from POS_TAXES order by 1"), before);
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.mid(entries.size() - 2),
              (QStringList{QStringLiteral("ZKOUSKA CHYBA  | preruseno: SIGTERM"), QStringLiteral("PRERUSENO      | SIGTERM")}));
}

// Rehearsal=1 through the server: the real run relies on the rehearsal's backup only while no
// other program has touched the database since it began; a row another program commits while the
// copy is updated makes the program back up again, and that backup holds the row.
TEST(RehearsalThroughServer, TheRealRunBacksUpAgainWhenAnotherProgramCommittedMeanwhile)
{
    for (const bool someoneCommits : {false, true}) {
        SCOPED_TRACE(someoneCommits ? "another program commits" : "nobody else");
        const FreshDatabase database(HotelData::Demo);
        InstalledProgram program;
        program.writeSettingsText(server::settingsFor(database.path()) + "Rehearsal=1\r\nBackup="
                                  + QByteArray::fromStdString((database.directory() / "hotel.fbk").string()) + "\r\n");
        db::Connection other;
        server::connect(other, database.path());
        if (someoneCommits)
            server::slowDown(other, "POS_TAXES", "update", 1); // the copy's step 1 waits for the commit
        program.start({QStringLiteral("auto")});
        if (someoneCommits) {
            const QString rehearsalLog = program.directory() + QStringLiteral("/QVTDPH2012-zkouska.log");
            while (runLogEntries(rehearsalLog).filter(server::kStep1).isEmpty())
                ASSERT_TRUE(program.stillRunningAfter(20)) << program.standardError().toStdString();
            other.execute("insert into QVT_KONFIG (ITEM, HODNOTACZ) values ('Recepce v noci', 'ano')");
        }
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), 0) << program.standardError().toStdString();
        const QStringList entries = program.logEntries();
        const QStringList made = entries.filter(QRegularExpression(QStringLiteral("^ZALOHA         \\| ")));
        EXPECT_EQ(made.size(), someoneCommits ? 2 : 1) << entries.join('\n').toStdString();
        EXPECT_EQ(entries.filter(QStringLiteral("| Databaze se od zalohy")).size(), 1);
        if (!someoneCommits || made.isEmpty())
            continue;
        const std::string restored = (database.directory() / "restored.fdb").string();
        ASSERT_EQ(QProcess::execute(QStringLiteral("gbak"),
                                    {"-c", "-se", QString::fromStdString(server::address("service_mgr")).section(':', 0, 0)
                                                      + QStringLiteral(":service_mgr"),
                                     made.last().mid(17), QString::fromStdString(restored), "-user", "SYSDBA",
                                     "-password", QString::fromLatin1(server::kPassword)}),
                  0);
        db::Connection copy;
        server::connect(copy, restored);
        EXPECT_EQ(copy.select("select count(*) from QVT_KONFIG where ITEM = 'Recepce v noci'").text(0), "1");
    }
}

// A copy that a rehearsal through the embedded engine left is this machine's engine's: with
// Alias switched to a server it is neither looked for nor dropped there, and it is found again
// once Alias names the embedded engine as before.
TEST(RehearsalThroughServer, ACopyLeftByTheEmbeddedEngineIsLookedForOnlyThere)
{
    const FreshDatabase database(HotelData::Demo);
    db::Connection connection;
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
    connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
    connection.execute("execute block as declare i integer = 0; begin while (i < 600000) do begin "
                       "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); "
                       "i = i + 1; end end");
    connection.close();
    const QByteArray backup = "Backup=" + QByteArray::fromStdString((database.directory() / "hotel.fbk").string()) + "\r\n";
    const QByteArray embedded = "[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\n" + backup;
    const std::filesystem::path left = database.directory() / "hotel-zkouska.fdb";
    InstalledProgram program;
    program.writeSettingsText(embedded);
    program.start({QStringLiteral("--rehearse")});
    while (!std::filesystem::exists(left) || std::filesystem::file_size(left) < 8'000'000)
        ASSERT_TRUE(program.stillRunningAfter(20)) << "the restore ended before it could be killed";
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGKILL), 0);
    program.endsByItself();
    const QString listed = QStringLiteral("): ") + QString::fromStdString(left.string());

    program.writeSettingsText(server::settingsFor(database.path()) + backup);
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1) << "the update is still to do";
    EXPECT_FALSE(program.standardOutput().contains(QStringLiteral("Zbyla kopie"))) << "not the server's copy";
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardOutput().toStdString();
    EXPECT_TRUE(std::filesystem::exists(left)) << "not dropped through the server";

    program.writeSettingsText(embedded);
    program.run({QStringLiteral("--check")});
    EXPECT_TRUE(program.standardOutput().contains(listed));
}

} // namespace
