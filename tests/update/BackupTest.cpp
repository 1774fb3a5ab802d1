// The backup through the services manager before the full update: the name it is written under,
// a round trip through a restore, and a refused update when the backup fails.

#include "CommandFixture.h"

#include "db/Connection.h"
#include "RowDump.h"
#include "update/DatabaseBackup.h"
#include "update/FullUpdate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <tuple>

namespace {

// What a restore must bring back: some of the data and the five installed objects as written.
std::string dumpAll(db::Connection& connection)
{
    std::string all;
    for (const char* sql :
         {"select * from pos_taxes order by 1, 2", "select * from fbs_vat order by id_vat",
          "select * from cissluz order by CisloSluzby", "select * from QVT_KONFIG order by Item",
          "select * from rec_mm_rezdet order by ID", "select * from REC_CHECKHEAD order by CisloUctu",
          "select RDB$PROCEDURE_NAME, RDB$PROCEDURE_SOURCE, RDB$VALID_BLR from RDB$PROCEDURES where RDB$PROCEDURE_NAME "
          "starting with 'REC_' order by 1",
          "select RDB$TRIGGER_NAME, RDB$TRIGGER_SOURCE, RDB$TRIGGER_INACTIVE from RDB$TRIGGERS where RDB$TRIGGER_NAME = "
          "'REC_CHECKHEAD_DPH_TRIGGER'"})
        all += std::string(sql) + "\n" + testsupport::dumpRows(connection, sql);
    return all;
}

using Backup = testsupport::CommandTest;

TEST(BackupName, InsertsTheDateAndTimeBeforeTheExtensionOnlyWhenTheNameIsTaken)
{
    const QDateTime now(QDate(2011, 12, 31), QTime(23, 5, 42));
    const std::tuple<const char*, QSet<QString>, const char*> cases[] = {
        {"/backup/hotel.fbk", {}, "/backup/hotel.fbk"},
        {"/backup/hotel.fbk", {"/backup/hotel.fbk"}, "/backup/hotel-20111231-2305.fbk"},
        {"/backup/hotel.fbk", {"/backup/hotel.fbk", "/backup/hotel-20111231-2305.fbk"}, "/backup/hotel-20111231-230542.fbk"},
        {"/backup/hotel.fbk", {"/backup/hotel.fbk", "/backup/hotel-20111231-2305.fbk", "/backup/hotel-20111231-230542.fbk"},
         "/backup/hotel-20111231-230542-2.fbk"},
        {"/backup/hotel", {"/backup/hotel"}, "/backup/hotel-20111231-2305"},
        {"/data.d/hotel", {"/data.d/hotel"}, "/data.d/hotel-20111231-2305"},
        {"C:\\Zaloha.2011\\hotel.fbk", {"C:\\Zaloha.2011\\hotel.fbk"}, "C:\\Zaloha.2011\\hotel-20111231-2305.fbk"},
        {"/backup/hotel.2011.fbk", {"/backup/hotel.2011.fbk"}, "/backup/hotel.2011-20111231-2305.fbk"},
    };
    for (const auto& [wanted, existing, expected] : cases)
        EXPECT_EQ(update::freeBackupName(QString::fromUtf8(wanted), now, [&](const QString& path) { return existing.contains(path); })
                      .toStdString(),
                  expected)
            << wanted;
}

TEST_F(Backup, RestoredBackupHoldsTheSameDataAndObjectsAndAnExistingFileIsKept)
{
    ASSERT_TRUE(installServerObjects());
    const QDir directory(QString::fromStdString(database.directory().string()));
    QFile earlier(directory.filePath(QStringLiteral("hotel.fbk")));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("an earlier backup") > 0);
    earlier.close();
    session.setBackupFile(earlier.fileName());

    ASSERT_EQ(update::BackupBeforeUpdate(session, view), QString());

    const QStringList started = entriesStartingWith(QStringLiteral("ZALOHA         | "));
    ASSERT_EQ(started.size(), 1);
    const QString file = started[0].mid(17);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("/hotel-\\d{8}-\\d{4}\\.fbk$")).match(file).hasMatch()) << file.toStdString();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("an earlier backup"));
    const QRegularExpression done(QStringLiteral("^ZALOHA OK      \\| %1 B, \\d+\\.\\d s$").arg(QFileInfo(file).size()));
    EXPECT_EQ(entriesStartingWith(QStringLiteral("ZALOHA OK")).filter(done).size(), 1) << entries().join('\n').toStdString();
    // The view heard of it: the file first, then the size written so far, if it took long
    // enough to ask, and the end.
    QStringList shown = view.eventsStartingWith(QStringLiteral("backup "));
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.takeFirst(), QStringLiteral("backup ") + file);
    EXPECT_EQ(shown.takeLast(), QStringLiteral("backup "));
    EXPECT_EQ(shown.filter(QRegularExpression(QStringLiteral("^backup \\d+\\.\\d MB$"))), shown);

    const QString restored = directory.filePath(QStringLiteral("restored.fdb"));
    QProcess gbak;
    gbak.start(QStringLiteral("gbak"), {QStringLiteral("-c"), file, restored, QStringLiteral("-user"), QStringLiteral("SYSDBA")});
    ASSERT_TRUE(gbak.waitForFinished(120000));
    ASSERT_EQ(gbak.exitCode(), 0) << gbak.readAllStandardError().toStdString();
    db::Connection copy;
    copy.setDatabase(restored.toStdString());
    copy.setUser("SYSDBA");
    EXPECT_EQ(dumpAll(copy), dumpAll(connection));
}

TEST_F(Backup, FailedBackupRefusesTheUpdateBeforeAnyChange)
{
    session.setBackupFile(QStringLiteral("/nonexistent-directory-of-dph2012/hotel.fbk"));
    const std::string before = dumpAll(connection);

    EXPECT_FALSE(update::RunFullUpdate(session, view));

    EXPECT_TRUE(session.refusedBeforeChange());
    EXPECT_EQ(session.commandsEndedByError(), 0);
    EXPECT_EQ(dumpAll(connection), before);
    const QStringList log = entries();
    ASSERT_EQ(log.size(), 4) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log.mid(0, 3), (QStringList{QString(63, QLatin1Char('-')), QStringLiteral("SPUSTENI AKT.  | "),
                                          QStringLiteral("ZALOHA         | /nonexistent-directory-of-dph2012/hotel.fbk")}));
    // The engine error's three values: code, SQLCODE, message naming the file.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ZALOHA CHYBA   \\| \\d+ -?\\d+ .*hotel\\.fbk")).match(log[3]).hasMatch())
        << log[3].toStdString();
    // The operator is told why, the indicator stops, the buttons are as before.
    const QStringList errors = view.eventsStartingWith(QStringLiteral("error "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(log[3].mid(17))) << errors[0].toStdString();
    EXPECT_FALSE(view.indicatorRunning);
    for (const auto& [button, enabled] : view.enabled)
        EXPECT_TRUE(enabled) << view.name(button).toStdString();
}

} // namespace
