// Before and after an update that cannot be undone: the backup through the services manager
// (the name it is written under, a round trip through a restore, a refused update when it fails),
// other attachments to the database, and the read-only report of what is still at the old rate.

#include "CommandFixture.h"

#include "RowDump.h"
#include "SilentHost.h"
#include "db/Connection.h"
#include "db/ServiceBackup.h"
#include "update/safety/DatabaseBackup.h"
#include "commands/FullUpdate.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/ReadinessCheck.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"
#include "commands/StockAndBanquets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <stdexcept>
#include <tuple>

namespace {

using testsupport::CommandTest;

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

using Backup = CommandTest;

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

// A server that answers that every name exists is asked a bounded number of times, and the
// failure names the file.
TEST(BackupName, GivesUpClearlyWhenEveryNameIsTaken)
{
    int asked = 0;
    const auto everyNameTaken = [&asked](const QString&) {
        if (++asked > 100000)
            throw std::logic_error("still asking");
        return true;
    };
    try {
        update::freeBackupName(QStringLiteral("/backup/hotel.fbk"), QDateTime(QDate(2011, 12, 31), QTime(23, 5, 42)),
                               everyNameTaken);
        ADD_FAILURE() << "a name was found";
    } catch (const std::runtime_error& error) {
        EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains(QStringLiteral("/backup/hotel.fbk"))) << error.what();
    }
    EXPECT_LT(asked, 1000);
}

// The backup restored through the services manager, as the rehearsal restores it.
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
    db::ServiceRestore(database.path(), "SYSDBA", "", 5).run(file.toStdString(), restored.toStdString(), {});
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
    EXPECT_EQ(log[2], QStringLiteral("ZALOHA         | /nonexistent-directory-of-dph2012/hotel.fbk"));
    // The system's words, naming the file this program could not write.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ZALOHA CHYBA   \\| .*hotel\\.fbk.*: No such file or directory$"))
                    .match(log[3])
                    .hasMatch())
        << log[3].toStdString();
    // The operator is told why, the indicator stops, the buttons are as before.
    const QStringList errors = view.eventsStartingWith(QStringLiteral("error "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(log[3].mid(17))) << errors[0].toStdString();
    EXPECT_FALSE(view.indicatorRunning);
    for (const auto& [button, enabled] : view.enabled)
        EXPECT_TRUE(enabled) << view.name(button).toStdString();
}

// Other attachments to the database before a command changes anything.
class OtherAttachments : public CommandTest {
protected:
    // The test's own connection is the other attachment.
    void attachSomeoneElse() { value("select 1 from RDB$DATABASE"); }
    const std::string kStays = "select CisloRezervace, DatumOdjezd, Status from rec_mm_rezervace order by 1";
    const std::string kRates = "select * from pos_taxes order by 1, 2";
};

TEST_F(OtherAttachments, CancellingTheQuestionChangesAndLogsNothing)
{
    for (const auto& [command, run] :
         {std::pair{"full update", &update::RunFullUpdate}, {"step 7", &update::RunStayingGuestsAlone}}) {
        attachSomeoneElse();
        const std::string before = dump(kRates) + dump(kStays);
        view.option = 2;
        view.goOnDespiteOthers = false;
        view.events.clear();
        view.enabled[update::CommandButton::Stock] = false;

        EXPECT_TRUE(run(session, view)) << command;

        EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")),
                  QStringList{QStringLiteral("others Pripojeno dalsich: 1 (SYSDBA@lokalne)")})
            << command;
        EXPECT_FALSE(QFile::exists(session.log().filePath())) << command;
        EXPECT_EQ(dump(kRates) + dump(kStays), before) << command;
        EXPECT_TRUE(view.isButtonEnabled(update::CommandButton::RunAll)) << command;
        EXPECT_FALSE(view.isButtonEnabled(update::CommandButton::Stock)) << command;
        EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("indicator")).isEmpty()) << command;
    }
}

TEST_F(OtherAttachments, GoingOnRunsTheUpdateAsWithoutThemAndNobodyElseMeansNoQuestion)
{
    attachSomeoneElse();
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_EQ(view.events.first(), QStringLiteral("disable RunAll"));
    EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")).size(), 1);
    EXPECT_EQ(entries().last(), QStringLiteral("KONEC          | "));
    // Interactive: the operator saw them, the log stays as it was.
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("               | Pripojeno")).isEmpty());
    EXPECT_EQ(value("select count(*) from pos_taxes where percentage = 10"), "0");

    connection.close();
    view.events.clear();
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("others ")).isEmpty());
}

TEST_F(OtherAttachments, AUserWithoutPrivilegeIsToldItSeesOnlyItsOwn)
{
    for (const auto& [viewer, other, summary] :
         {std::tuple{"SYSDBA", "GUEST", "Pripojeno dalsich: 1 (GUEST@lokalne)"},
          {"GUEST", "SYSDBA",
           "Pripojeno dalsich: 0, uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt pripojeni"},
          {"GUEST", "GUEST",
           "Pripojeno dalsich: 1 (GUEST@lokalne), uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt "
           "pripojeni"}}) {
        db::Connection attached;
        attached.setDatabase(database.path());
        attached.setUser(other);
        attached.open();
        db::Connection seeing;
        seeing.setDatabase(database.path());
        seeing.setUser(viewer);
        const std::optional<update::OtherAttachments> seen = update::readOtherAttachments(seeing);
        ASSERT_TRUE(seen.has_value()) << viewer;
        EXPECT_EQ(seen->summary().toStdString(), summary) << viewer << " seeing " << other;
        EXPECT_TRUE(seen->worthWarning());
    }
}

// Asking a server that never answers whether a backup's name is taken gives way to a stop signal
// at once instead of waiting out the connect timeout.
TEST(BackupName, TheServersAnswerOnANameGivesWayToAStop)
{
    const testsupport::SilentHost host;
    update::ConnectionSettings settings;
    settings.alias = QStringLiteral("127.0.0.1/%1:hotel").arg(host.port);
    settings.user = QStringLiteral("SYSDBA");
    settings.connectTimeout = 60;
    QElapsedTimer clock;
    clock.start();
    const auto exists = update::existsWhereTheEngineWrites(settings, [&clock] { return clock.elapsed() > 300; });
    EXPECT_THROW(exists(QStringLiteral("/backup/hotel.fbk")), db::ConnectAbandoned);
    EXPECT_LT(clock.elapsed(), 20000) << "not the connect timeout";
}

// The read-only report of what is still at the old rate.
class ReadinessCheck : public CommandTest {
protected:
    update::ReadinessReport check()
    {
        db::Connection own;
        own.setDatabase(database.path());
        own.setUser("SYSDBA");
        return update::CheckReadiness(own);
    }
    // The items of the update's steps 1 to 6 that are left.
    static QStringList left(const update::ReadinessReport& report)
    {
        QStringList found;
        for (const update::ReadinessItem& item : report.items)
            if (item.counted && item.left)
                found.append(item.what);
        return found;
    }
    // The report's line of the item.
    static QString lineOf(const QString& text, const char* item)
    {
        const qsizetype at = text.indexOf(QString::fromUtf8(item));
        return at < 0 ? QString() : text.mid(at, text.indexOf(QLatin1Char('\n'), at) - at);
    }
};

TEST_F(ReadinessCheck, AFreshStandInHasEverythingLeftTheFullUpdateNothingAndAnItemPutBackShows)
{
    const update::ReadinessReport report = check();
    EXPECT_EQ(report.exitStatus(), 1);
    EXPECT_EQ(left(report),
              (QStringList{"1 POS: dane se sazbou 10", "2 FBS: sazba 14 (aspon jeden radek)",
                           "3 REC: sluzby se sazbou 10 (typ mimo 1)", "4 Nastaveni DPHSazba% = \"10\"",
                           "5 Rezervace od 1.1.2012 se sazbou 10", "6 REC_PoklDenikInsert2 aktualni verze",
                           "6 REC_DPH_DeleniPobytu aktualni verze", "6 REC_DPH_UzavreniUctu aktualni verze",
                           "6 REC_DPH_UZAVRENIVSECHUCTU aktualni verze", "6 REC_CHECKHEAD_DPH_TRIGGER aktualni verze"}));
    const QString text = report.text(QStringLiteral("QVT"), QStringLiteral("SYSDBA"));
    EXPECT_TRUE(text.contains(QStringLiteral("7 Skupiny bydlici pres 31.12.2011"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("(po Novem roce)"))) << text.toStdString();
    EXPECT_FALSE(QFile::exists(session.log().filePath()));

    // The check counts exactly what the commands change: after them, nothing they move is left,
    // the stock items and banquet documents that the check reports but does not count included.
    const auto leftOfAnyKind = [](const update::ReadinessReport& report) {
        QStringList found;
        for (const update::ReadinessItem& item : report.items)
            if (item.left && !item.what.startsWith(QLatin1Char('7')) && !item.what.startsWith(QStringLiteral("Dalsi")))
                found.append(item.what);
        return found;
    };
    EXPECT_EQ(leftOfAnyKind(report).mid(10), (QStringList{QStringLiteral("Skladove polozky se sazbou 10 (po Novem roce)"),
                                                          QStringLiteral("Doklady rautu se sazbou 10 (po Novem roce)")}));
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    ASSERT_TRUE(update::UpdateStockAndBanquets(session, view));
    EXPECT_EQ(session.runner().failureCount(), 0);
    session.Database1.close();
    const update::ReadinessReport after = check();
    EXPECT_EQ(after.exitStatus(), 0) << after.text(QString(), QString()).toStdString();
    EXPECT_EQ(leftOfAnyKind(after), QStringList()) << after.text(QString(), QString()).toStdString();

    for (const auto& [putBack, undo, item, line] :
         {std::tuple{"update pos_taxes set percentage = 10 where percentage = 14 and id_tax = (select min(id_tax) from "
                     "pos_taxes where percentage = 14)",
                     "update pos_taxes set percentage = 14 where percentage = 10", "1 POS: dane se sazbou 10",
                     "1      0  ZBYVA"},
          {"alter trigger REC_CHECKHEAD_DPH_TRIGGER inactive", "alter trigger REC_CHECKHEAD_DPH_TRIGGER active",
           "6 REC_CHECKHEAD_DPH_TRIGGER aktualni verze", "0      1  ZBYVA: neaktivni"},
          {"delete from fbs_vat where vat_rate = 14", "insert into fbs_vat (id_vat, vat_rate) values (999, 14)",
           "2 FBS: sazba 14 (aspon jeden radek)", "0    >=1  ZBYVA"}}) {
        exec(putBack);
        const update::ReadinessReport report = check();
        EXPECT_EQ(report.exitStatus(), 1) << item;
        EXPECT_EQ(left(report), QStringList{QString::fromUtf8(item)});
        const QString text = report.text(QString(), QString());
        EXPECT_TRUE(lineOf(text, item).endsWith(QString::fromUtf8(line))) << text.toStdString();
        exec(undo);
    }
}

TEST_F(ReadinessCheck, NoConnectionOrAFailedQueryEndsWithTwo)
{
    db::Connection nowhere;
    nowhere.setDatabase(database.directory().string() + "/missing.fdb");
    nowhere.setUser("SYSDBA");
    const update::ReadinessReport unconnected = update::CheckReadiness(nowhere);
    EXPECT_EQ(unconnected.exitStatus(), 2);
    EXPECT_TRUE(unconnected.text(QStringLiteral("x"), QStringLiteral("y")).contains(QStringLiteral("missing.fdb")));

    exec("drop table pos_taxes");
    const update::ReadinessReport failed = check();
    EXPECT_EQ(failed.exitStatus(), 2);
    const QString text = failed.text(QString(), QString());
    // The engine error's three values, the SQLCODE of an unknown table among them.
    EXPECT_TRUE(lineOf(text, "1 POS: dane se sazbou 10").contains(QStringLiteral("?      0  CHYBA "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" -204 "))) << text.toStdString();
}

} // namespace
