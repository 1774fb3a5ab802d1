// The rehearsal as an operator runs it: the whole update on a restored copy beside the backup,
// a report, the copy dropped, and the hotel's own database never changed.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "RowDump.h"

#include "db/Connection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class Rehearsal : public testing::Test {
protected:
    void writeSettings(const QByteArray& extra = "Backup=<dir>/hotel.fbk\r\n") const
    {
        QByteArray text = "[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\n" + extra;
        program.writeSettingsText(text.replace("<dir>", QByteArray::fromStdString(database.directory().string())));
    }
    // What the update changes, and the objects it installs.
    std::string data() const
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        std::string rows;
        for (const char* sql : {"select * from POS_TAXES order by 1", "select * from FBS_VAT order by 1",
                                "select ID, DPH from REC_MM_REZDET order by 1",
                                "select count(*) from RDB$PROCEDURES where RDB$PROCEDURE_NAME starting 'REC_DPH'"})
            rows += dumpRows(connection, sql);
        return rows;
    }
    void exec(const std::string& sql) const
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute(sql);
    }
    QStringList copies() const
    {
        return QDir(QString::fromStdString(database.directory().string())).entryList({QStringLiteral("*-zkouska*.fdb")});
    }
    QStringList rehearsalLog() const
    {
        return runLogEntries(QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012-zkouska.log")));
    }

    FreshDatabase database{HotelData::Demo};
    InstalledProgram program;
};

TEST_F(Rehearsal, ACleanRehearsalReportsZeroAndLeavesTheDatabaseAsItWasAndNoCopy)
{
    const std::string before = data();
    writeSettings();
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardError().toStdString();
    const QString report = program.standardOutput();
    EXPECT_TRUE(report.contains(QStringLiteral("Zaloha byla obnovena cela: lze z ni obnovit databazi."))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Celkem: 12 prikazu, 0 chyb, zbyva 0"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Skutecny beh se muze lisit: kopie patri uzivateli"))) << report.toStdString();
    EXPECT_EQ(data(), before);
    EXPECT_EQ(copies(), QStringList());

    const QString copy = QString::fromStdString((database.directory() / "hotel-zkouska.fdb").string());
    const QStringList entries = program.logEntries();
    EXPECT_TRUE(entries.contains(QStringLiteral("ZKOUSKA        | ") + copy)) << entries.join('\n').toStdString();
    EXPECT_TRUE(entries.last().startsWith(QStringLiteral("ZKOUSKA OK     | 12 prikazu, "))) << entries.last().toStdString();
    EXPECT_EQ(rehearsalLog().filter(QRegularExpression(QStringLiteral("^KROK \\d"))).size(), 8);
    EXPECT_EQ(rehearsalLog().last(), QStringLiteral("KONEC          | "));

    // What cannot be rehearsed is refused before anything is made.
    writeSettings("");
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 2);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("Backup=")));
    writeSettings();
    EXPECT_EQ(program.run({QStringLiteral("--rehearse"), QStringLiteral("e")}), 64);
    EXPECT_EQ(program.logEntries().size(), entries.size());
}

// A hotel database on which step 1 fails: the rehearsal finds it, and the unattended run that
// asks for a rehearsal first is refused before it changes anything.
TEST_F(Rehearsal, AStatementThatFailsOnTheCopyIsReportedAndRefusesTheUnattendedRun)
{
    exec("create exception TEST_NO_TAXES 'taxes are locked'");
    exec("create trigger TEST_LOCKED_TAXES for POS_TAXES before update as begin exception TEST_NO_TAXES; end");
    const std::string before = data();
    writeSettings();
    EXPECT_EQ(program.run({QStringLiteral("--rehearse"), QStringLiteral("b")}), 1);
    const QString report = program.standardOutput();
    const QString step1 = report.section(QLatin1Char('\n'), 6, 6);
    EXPECT_TRUE(step1.startsWith(QStringLiteral("1 ")) && step1.contains(QStringLiteral("taxes are locked"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("1 POS: dane se sazbou 10"))) << "left on the copy";
    EXPECT_TRUE(report.contains(QStringLiteral("(volba b)")));

    writeSettings("Backup=<dir>/hotel.fbk\r\nRehearsal=1\r\n");
    EXPECT_EQ(program.run({QStringLiteral("x")}), 3);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("the update was not started"))) << program.standardError().toStdString();
    EXPECT_EQ(data(), before);
    EXPECT_EQ(copies(), QStringList());
    const QStringList entries = program.logEntries();
    EXPECT_TRUE(entries.filter(QStringLiteral("ZKOUSKA CHYBA  | 1 chyb, zbyva ")).size() == 2) << entries.join('\n').toStdString();
    EXPECT_TRUE(entries.filter(QStringLiteral("EXEC SQL")).isEmpty()) << "nothing was sent to the hotel's database";
}

// What a killed rehearsal leaves, and what only looks like it: the next rehearsal drops a copy
// only when the database carries the mark that its rehearsal recorded (a name with the date in
// it included); a copy cut off in its restore carries none and is only listed, and a database
// named like a copy in a line planted in the run log is never touched.
TEST_F(Rehearsal, OnlyACopyThatCarriesItsRehearsalsMarkIsDropped)
{
    exec("create table TEST_BULK (ID integer, TXT varchar(160))");
    exec("execute block as declare i integer = 0; begin while (i < 600000) do begin "
         "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    const QString cutOff = QString::fromStdString((database.directory() / "hotel-zkouska.fdb").string());
    const std::string namedOnly = (database.directory() / "archiv-zkouska.fdb").string();
    std::filesystem::copy_file(database.path(), namedOnly);
    writeSettings();
    program.start({QStringLiteral("--rehearse")});
    ASSERT_TRUE(program.writesToStandardError(QStringLiteral("rehearsal: zaloha a obnova do")));
    // Killed once the copy is a database, with part of its rows.
    while (QFileInfo(cutOff).size() < 8'000'000)
        ASSERT_TRUE(program.stillRunningAfter(20)) << "the restore ended before it could be killed";
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGKILL), 0);
    program.endsByItself();
    QFile log(QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012.log")));
    ASSERT_TRUE(log.open(QIODevice::Append));
    log.write("31.12.11 23:05:09 | ZKOUSKA        | " + QByteArray::fromStdString(namedOnly) + "\r\n");
    log.close();
    // A whole copy with the date in its name, as a rehearsal killed after marking it leaves it.
    const std::string dated = (database.directory() / "hotel-zkouska-20111231-2305.fdb").string();
    std::filesystem::copy_file(database.path(), dated);
    db::Connection copy;
    copy.setDatabase(dated);
    copy.setUser("SYSDBA");
    copy.execute("comment on database is 'dph2012 zkouska 7f3c'");
    copy.close();
    QFile record(QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012-zkouska.stav")));
    ASSERT_TRUE(record.open(QIODevice::Append));
    record.write("\t" + QByteArray::fromStdString(dated) + "\tdph2012 zkouska 7f3c\n");
    record.close();
    ASSERT_EQ(copies(), (QStringList{QStringLiteral("archiv-zkouska.fdb"), QStringLiteral("hotel-zkouska-20111231-2305.fdb"),
                                     QStringLiteral("hotel-zkouska.fdb")}));

    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    const QString check = program.standardOutput();
    EXPECT_TRUE(check.contains(QStringLiteral("Zbyla kopie zkousky (odstrani ji pristi zkouska): ") + QString::fromStdString(dated)))
        << check.toStdString();
    EXPECT_TRUE(check.contains(QStringLiteral("bez znacky (program ji neodstrani, overte ji a odstrante rucne): ") + cutOff))
        << check.toStdString();
    EXPECT_FALSE(check.contains(QString::fromStdString(namedOnly))) << check.toStdString();

    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardError().toStdString();
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.filter(QStringLiteral("Odstranena kopie predchozi zkousky")),
              QStringList{QStringLiteral("               | Odstranena kopie predchozi zkousky: ") + QString::fromStdString(dated)});
    EXPECT_EQ(entries.filter(QStringLiteral("nenese znacku")).size(), 1) << entries.join('\n').toStdString();
    EXPECT_EQ(copies(), (QStringList{QStringLiteral("archiv-zkouska.fdb"), QStringLiteral("hotel-zkouska.fdb")}));
}

// The record of copies is believed only when nobody but the program's user could have written
// it: one that others may write to names nothing, whatever it says.
TEST_F(Rehearsal, ARecordOfCopiesThatOthersMayWriteToIsNotBelieved)
{
    const std::string named = (database.directory() / "archiv-zkouska.fdb").string();
    std::filesystem::copy_file(database.path(), named);
    const std::filesystem::path record = std::filesystem::path(program.directory().toStdString()) / "QVTDPH2012-zkouska.stav";
    std::ofstream(record) << "\t" << named << "\n";
    writeSettings();
    const QString listed = QStringLiteral("): ") + QString::fromStdString(named);
    for (const auto& [permissions, believed] :
         {std::pair{std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::others_write, false},
          {std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_write, false},
          {std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, true}}) {
        std::filesystem::permissions(record, permissions);
        program.run({QStringLiteral("--check")});
        EXPECT_EQ(program.standardOutput().contains(listed), believed) << static_cast<int>(permissions);
    }
}

// A backup that fails on its way into the copy (a user who may read none of the hotel's tables)
// fails the rehearsal naming the backup, and leaves neither a backup file nor a copy.
TEST_F(Rehearsal, ABackupThatFailsOnItsWayIsNamedAndLeavesNoBackupAndNoCopy)
{
    program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=NOBODY\r\nBackup="
                              + QByteArray::fromStdString((database.directory() / "hotel.fbk").string()) + "\r\n");
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 2) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("zaloha se nezdarila: ")))
        << program.standardOutput().toStdString();
    EXPECT_FALSE(std::filesystem::exists(database.directory() / "hotel.fbk"));
    EXPECT_EQ(copies(), QStringList());
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.filter(QStringLiteral("ZALOHA CHYBA   | ")).size(), 1) << entries.join('\n').toStdString();
    EXPECT_TRUE(entries.filter(QStringLiteral("ZALOHA OK")).isEmpty());
}

// A stop signal while the backup streams into the copy: neither the copy nor a file that could
// pass for the backup is left, and no part of the backup ever carries the backup's name.
TEST_F(Rehearsal, AStopSignalDuringTheBackupAndRestoreLeavesNoCopyAndNoBackup)
{
    exec("create table TEST_BULK (ID integer, TXT varchar(160))");
    exec("execute block as declare i integer = 0; begin while (i < 600000) do begin "
         "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    writeSettings();
    program.start({QStringLiteral("--rehearse")});
    ASSERT_TRUE(program.writesToStandardError(QStringLiteral("rehearsal: zaloha a obnova do")));
    const std::filesystem::path backup = database.directory() / "hotel.fbk";
    const std::filesystem::path unfinished = database.directory() / "hotel.fbk.dph2012-castecna";
    while (copies().isEmpty() || !std::filesystem::exists(unfinished) || std::filesystem::file_size(unfinished) < 1'000'000) {
        ASSERT_TRUE(program.stillRunningAfter(20)) << "the copy was made before it could be stopped";
        ASSERT_FALSE(std::filesystem::exists(backup)) << "a part of the backup under its name";
    }
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGINT), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 130);
    EXPECT_EQ(copies(), QStringList());
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_FALSE(std::filesystem::exists(unfinished));
    const QStringList entries = program.logEntries();
    EXPECT_TRUE(entries.filter(QStringLiteral("ZALOHA OK")).isEmpty()) << entries.join('\n').toStdString();
    EXPECT_EQ(entries.filter(QStringLiteral("ZALOHA CHYBA   | preruseno, nedokoncena zaloha")).size(), 1)
        << entries.join('\n').toStdString();
    EXPECT_EQ(entries.last(), QStringLiteral("PRERUSENO      | SIGINT"));
}

// A disk that fills while the backup streams into the copy: whichever side fails first, neither
// the copy, nor the backup, nor a part of either is left, and the record keeps no copy.
TEST_F(Rehearsal, ADiskThatFillsDuringTheRestoreLeavesNoCopyAndNoBackup)
{
    exec("create table TEST_BULK (ID integer, TXT varchar(160))");
    exec("execute block as declare i integer = 0; begin while (i < 150000) do begin "
         "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    // Room for the copy alone, as the rehearsal asks before it begins, but not for the backup too.
    const std::filesystem::path disk = database.directory() / "disk";
    std::filesystem::create_directory(disk);
    const auto room = std::filesystem::file_size(database.path()) * 13 / 10;
    const QString mount = QStringLiteral("mount -t tmpfs -o size=%1 tmpfs '%2' 2>/dev/null")
                              .arg(room)
                              .arg(QString::fromStdString(disk.string()));
    if (std::system(mount.toLocal8Bit().constData()) != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    const std::unique_ptr<const char, std::function<void(const char*)>> unmount(
        "", [&](const char*) { std::system(("umount '" + disk.string() + "'").c_str()); });

    writeSettings("Backup=" + QByteArray::fromStdString((disk / "hotel.fbk").string()) + "\r\n");
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 2) << program.standardError().toStdString();
    const QString report = program.standardOutput();
    EXPECT_TRUE(report.contains(QStringLiteral(" se nezdarila: "))) << report.toStdString();
    EXPECT_TRUE(std::filesystem::is_empty(disk)) << "a copy, a backup or a part of one is left";
    std::ifstream record(QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012-zkouska.stav")).toStdString());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(record), {}), "") << "the record keeps no copy";
}

// Nobody else works in the database: the rehearsal's backup is the night's, and no second one is
// taken before step 1, run after run, whatever the engine's own garbage collector starts meanwhile.
TEST_F(Rehearsal, AQuietDatabaseIsBackedUpOnceUnderRehearsal)
{
    exec("create table TEST_BULK (ID integer, TXT varchar(160))");
    exec("execute block as declare i integer = 0; begin while (i < 100000) do begin "
         "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    writeSettings("Backup=<dir>/hotel.fbk\r\nRehearsal=1\r\n");
    constexpr int kRuns = 5;
    for (int run = 0; run < kRuns; ++run)
        ASSERT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    const QStringList entries = program.logEntries();
    EXPECT_EQ(entries.filter(QStringLiteral("Databaze se od zalohy nezmenila")).size(), kRuns)
        << entries.filter(QStringLiteral("Databaze se od zalohy")).join('\n').toStdString();
    EXPECT_EQ(entries.filter(QStringLiteral("ZALOHA OK")).size(), kRuns);
}

} // namespace
