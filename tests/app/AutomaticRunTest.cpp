// `dph2012 x` against stand-in hotel databases behind the QVT alias: the whole run log and the
// data afterwards.

#include "FirebirdRoot.h"
#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "RowDump.h"
#include "SilentHost.h"

#include "db/Connection.h"
#include "db/DatabaseShutdown.h"
#include "db/ResultSet.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

namespace {

using testsupport::FirebirdRoot;
using testsupport::FreshDatabase;
using testsupport::SilentHost;
using testsupport::HotelData;
using testsupport::InstalledProgram;

const QString kSeparator(63, QLatin1Char('-'));

QString exec(const QString& statement)
{
    return QStringLiteral("EXEC SQL       | ") + statement;
}

QString select(const QString& statement)
{
    return QStringLiteral("SELECT SQL     | ") + statement;
}

// A server-side object's text as the update sends it: its lines joined and ended by CR LF.
QString scriptStatement(const char* name)
{
    QFile file(QStringLiteral(SERVER_SCRIPT_DIR "/%1.sql").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("no script ") + name);
    QString text = QString::fromUtf8(file.readAll()).remove(QLatin1Char('\r'));
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

// Every statement of steps 1 to 6, in order, for a database that has no rate 14 in fbs_vat yet.
const QStringList kStatementsOfSteps1To6 = {
    exec("update pos_taxes set pos_taxes.percentage = 14 where pos_taxes.percentage = 10"),
    select("select count(*) Pocet from fbs_vat where vat_rate = 14"),
    exec("insert into fbs_vat (id_vat,vat_rate) values ((select Max(id_vat) from fbs_vat)+1 ,14)"),
    exec("update cissluz set cissluz.dph = 14 where cissluz.dph = 10 and cissluz.typsluzby <> 1"),
    exec("update QVT_KONFIG set QVT_KONFIG.hodnotacz = \"14\" where QVT_KONFIG.hodnotacz = \"10\" and QVT_KONFIG.Item "
         "like \"DPHSazba%\""),
    exec("update rec_mm_rezdet set DPH = 14 where MarkovanoDo is null and DPH = 10 and rec_mm_rezdet.datumdo >= "
         "\"1.1.2012\" and not exists (select 1 from rec_mm_rezervace R where R.CisloRezervace = "
         "rec_mm_rezdet.cislorezervace and (R.DatumOdjezd <= \"31.12.2011\" or (R.DatumPrijezd = \"31.12.2011\" and "
         "rec_mm_rezdet.datumod < \"31.12.2011\" and not exists (select 1 from rec_mm_rezervace P join rec_mm_rezdet PL "
         "on PL.CisloRezervace = P.CisloRezervace where P.CisloSkupiny = R.CisloSkupiny and P.DatumOdjezd = "
         "\"31.12.2011\" and PL.DatumOD = rec_mm_rezdet.DatumOD and PL.DatumDO = rec_mm_rezdet.DatumDO and "
         "PL.CisloSluzby = rec_mm_rezdet.CisloSluzby and (PL.MarkovanoDo is null or PL.MarkovanoDo = "
         "\"31.12.2011\")))))"),
};

QStringList step6()
{
    QStringList entries = {QStringLiteral("KROK 6         | ")};
    for (const char* name : {"REC_PoklDenikInsert2", "REC_DPH_DeleniPobytu", "REC_DPH_UzavreniUctu",
                             "REC_DPH_UZAVRENIVSECHUCTU", "REC_CHECKHEAD_DPH_TRIGGER"})
        entries.append(exec(scriptStatement(name)));
    entries.append(exec("execute PROCEDURE QVT_GENERAL_GRANT (\"VRX_APP_ROLE\")"));
    return entries;
}

QStringList closing()
{
    return {QStringLiteral("KROK 7         | "), QStringLiteral("     volba a   | "), QStringLiteral("KROK 8         | "),
            QStringLiteral("KONEC          | ")};
}

QStringList opening()
{
    return {kSeparator, QStringLiteral("SPUSTENI AKT.  | "), QStringLiteral("               | Automaticky mod")};
}

// The program installed beside a DPH.ini naming QVT, which a root of the test's own maps.
class AutomaticRun : public testing::Test {
protected:
    explicit AutomaticRun(HotelData data = HotelData::Demo)
        : database(data), root({{"QVT", database.path()}})
    {
        program.writeSettings(QStringLiteral("QVT"));
        program.setFirebirdRoot(QString::fromStdString(root.path()));
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }

    int run()
    {
        connection.close();
        program.start({QStringLiteral("x")});
        if (!program.endsByItself())
            throw std::runtime_error("the run did not end");
        return program.exitCode();
    }

    std::string dump(const std::string& sql) { return testsupport::dumpRows(connection, sql); }

    FreshDatabase database;
    FirebirdRoot root;
    InstalledProgram program;
    db::Connection connection;
};

TEST_F(AutomaticRun, LogsEveryStepAndStatementInOrderAndEndsWithZero)
{
    EXPECT_EQ(run(), 0) << program.standardError().toStdString();

    QStringList expected = opening();
    expected += {QStringLiteral("KROK 1         | "), kStatementsOfSteps1To6[0], QStringLiteral("KROK 2         | "),
                 kStatementsOfSteps1To6[1], kStatementsOfSteps1To6[2], QStringLiteral("KROK 3         | "),
                 kStatementsOfSteps1To6[3], QStringLiteral("KROK 4         | "), kStatementsOfSteps1To6[4],
                 QStringLiteral("KROK 5         | "), kStatementsOfSteps1To6[5]};
    expected += step6();
    expected += closing();
    EXPECT_EQ(program.logEntries(), expected);
}

TEST_F(AutomaticRun, MovesRateTenWhereItMustAndNowhereElse)
{
    const std::string services = "select CisloSluzby, TypSluzby, DPH from CISSLUZ order by CisloSluzby";
    const std::string lines = "select ID, MarkovanoDo, DatumDo, DPH from REC_MM_REZDET order by ID";
    const std::string stockBefore = dump("select * from FBS_STOCK_ITM order by 1") + dump("select * from FBS_PROD_LIST_ITM order by 1");
    // Expected from the rules of the steps, row by row, against the data before the run.
    std::string servicesAfter;
    for (db::ResultSet row = connection.select(services); !row.eof(); row.next()) {
        const bool moves = row.text(2) == "10" && row.text(1) != "1";
        servicesAfter += row.text(0) + "|" + row.text(1) + "|" + (moves ? std::string("14") : row.text(2)) + "|\n";
    }
    std::string linesAfter;
    const std::string uncharged2012 = "select ID from REC_MM_REZDET where MarkovanoDo is null and DatumDo >= '1.1.2012'";
    std::set<std::string> open;
    for (db::ResultSet row = connection.select(uncharged2012); !row.eof(); row.next())
        open.insert(row.text(0));
    for (db::ResultSet row = connection.select(lines); !row.eof(); row.next()) {
        const bool moves = row.text(3) == "10" && open.count(row.text(0));
        linesAfter += row.text(0) + "|" + (row.isNull(1) ? "<null>" : row.text(1)) + "|" + row.text(2) + "|"
            + (moves ? std::string("14") : row.text(3)) + "|\n";
    }
    ASSERT_NE(servicesAfter, dump(services)) << "the demo has services to move";
    ASSERT_NE(linesAfter, dump(lines)) << "the demo has reservation lines to move";

    ASSERT_EQ(run(), 0);

    EXPECT_EQ(dump("select ID_TAX, PERCENTAGE from POS_TAXES order by ID_TAX"), "1|14|\n2|20|\n3|0|\n4|14|\n");
    EXPECT_EQ(dump("select ID_VAT, VAT_RATE from FBS_VAT order by ID_VAT"), "1|0|\n2|10|\n3|20|\n4|14|\n");
    EXPECT_EQ(dump(services), servicesAfter);
    EXPECT_EQ(dump("select Item, HodnotaCZ from QVT_KONFIG where Item starting with 'DPH' or HodnotaCZ = '10' order by Item"),
              "DPHSazbaNulova|0|\nDPHSazbaSnizena|14|\nDPHSazbaUbytovani|14|\nDPHSazbaZakladni|20|\n"
              "REC_PocetDniHistorie|10|\n");
    EXPECT_EQ(dump(lines), linesAfter);
    EXPECT_EQ(dump("select * from FBS_STOCK_ITM order by 1") + dump("select * from FBS_PROD_LIST_ITM order by 1"),
              stockBefore)
        << "stock and banquets are a command of their own";

    EXPECT_EQ(dump("select trim(RDB$PROCEDURE_NAME) from RDB$PROCEDURES where RDB$PROCEDURE_NAME starting with "
                   "'REC_DPH_' or RDB$PROCEDURE_NAME = 'REC_POKLDENIKINSERT2' order by 1"),
              "REC_DPH_DELENIPOBYTU|\nREC_DPH_UZAVRENIUCTU|\nREC_DPH_UZAVRENIVSECHUCTU|\nREC_POKLDENIKINSERT2|\n");
    EXPECT_EQ(dump("select RDB$TRIGGER_INACTIVE, trim(RDB$RELATION_NAME) from RDB$TRIGGERS where RDB$TRIGGER_NAME = "
                   "'REC_CHECKHEAD_DPH_TRIGGER'"),
              "0|REC_CHECKHEAD|\n");
    // The grant ran after the installation: the new objects are the role's to use.
    EXPECT_EQ(dump("select count(*) from RDB$USER_PRIVILEGES where RDB$USER = 'VRX_APP_ROLE' and RDB$RELATION_NAME in "
                   "('REC_DPH_DELENIPOBYTU', 'REC_DPH_UZAVRENIUCTU', 'REC_DPH_UZAVRENIVSECHUCTU', "
                   "'REC_POKLDENIKINSERT2')"),
              "4|\n");
}

TEST_F(AutomaticRun, SecondRunOnTheSameDatabaseFindsTheRateAndReinstallsCleanly)
{
    ASSERT_EQ(run(), 0);
    const int firstRun = program.logEntries().size();
    const std::string afterFirst = dump("select ID_TAX, PERCENTAGE from POS_TAXES order by 1")
        + dump("select ID_VAT, VAT_RATE from FBS_VAT order by 1");
    EXPECT_EQ(run(), 0) << program.standardError().toStdString();

    QStringList expected = opening();
    expected += {QStringLiteral("KROK 1         | "), kStatementsOfSteps1To6[0], QStringLiteral("KROK 2         | "),
                 kStatementsOfSteps1To6[1], QStringLiteral("KROK 2         | Sazba 14% jiz existuje."),
                 QStringLiteral("KROK 3         | "), kStatementsOfSteps1To6[3], QStringLiteral("KROK 4         | "),
                 kStatementsOfSteps1To6[4], QStringLiteral("KROK 5         | "), kStatementsOfSteps1To6[5]};
    expected += step6();
    expected += closing();
    EXPECT_EQ(program.logEntries().mid(firstRun), expected) << "the log grows; the first run stays in it";
    EXPECT_EQ(dump("select ID_TAX, PERCENTAGE from POS_TAXES order by 1") + dump("select ID_VAT, VAT_RATE from FBS_VAT order by 1"),
              afterFirst);
}

TEST_F(AutomaticRun, WithoutFbsVatStep2LogsTheFailureInsertsNothingAndTheRunEndsWithTwo)
{
    connection.execute("drop table FBS_VAT");
    EXPECT_EQ(run(), 2);
    const QStringList entries = program.logEntries();
    const int step2 = entries.indexOf(QStringLiteral("KROK 2         | "));
    ASSERT_GE(step2, 0);
    ASSERT_LT(step2 + 4, entries.size());
    EXPECT_EQ(entries[step2 + 1], kStatementsOfSteps1To6[1]);
    EXPECT_TRUE(entries[step2 + 2].startsWith(QStringLiteral("ENGINE ERROR   | "))) << entries[step2 + 2].toStdString();
    EXPECT_TRUE(entries[step2 + 2].contains(QStringLiteral("FBS_VAT"), Qt::CaseInsensitive));
    EXPECT_EQ(entries[step2 + 3], QStringLiteral("KROK 2         | Sazba 14% jiz existuje."));
    EXPECT_EQ(entries[step2 + 4], QStringLiteral("KROK 3         | "));
    EXPECT_EQ(entries.filter(QStringLiteral("ENGINE ERROR")).size(), 1);
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
    EXPECT_EQ(program.standardError().trimmed().split(QLatin1Char('\n')).last(),
              QStringLiteral("dph2012: update: 100 % (step 8 of 8), done, 1 statement failed"))
        << program.standardError().toStdString();
}

// The backup before an unattended update, and `dph2012 --check` before and after it.
using SafetyNetRun = AutomaticRun;

TEST_F(SafetyNetRun, AFailedBackupRefusesWithThreeAndAGoodOneComesFirstWithProgressOnStandardError)
{
    const QString unwritable = QStringLiteral("/nonexistent-directory-of-dph2012/hotel.fbk");
    program.writeSettingsText("[Params]\r\nAlias=QVT\r\nBackup=" + unwritable.toUtf8() + "\r\n");
    EXPECT_EQ(run(), 3);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("dph2012: the backup failed, the update was not started: ")));
    EXPECT_EQ(dump("select count(*) from pos_taxes where percentage = 10"), "2|\n");
    QStringList log = program.logEntries(); // the entries themselves as the update's own tests have them
    EXPECT_TRUE(log.size() == 5 && log[4].startsWith(QStringLiteral("ZALOHA CHYBA   | "))) << log.join('\n').toStdString();

    const QString backup = QString::fromStdString((database.directory() / "hotel.fbk").string());
    program.writeSettingsText("[Params]\r\nAlias=QVT\r\nBackup=" + backup.toUtf8() + "\r\n");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("dph2012: backup: ") + backup + QLatin1Char('\n')));
    log = program.logEntries().mid(5);
    ASSERT_GE(log.size(), 6);
    EXPECT_EQ(log[3], QStringLiteral("ZALOHA         | ") + backup);
    EXPECT_TRUE(log[4].startsWith(QStringLiteral("ZALOHA OK      | %1 B, ").arg(QFileInfo(backup).size()))) << log[4].toStdString();
    EXPECT_EQ(log[5], QStringLiteral("KROK 1         | "));
    EXPECT_EQ(dump("select count(*) from pos_taxes where percentage = 10"), "0|\n");
}

TEST_F(SafetyNetRun, ABackupThroughAServerThatNeverAnswersIsRefusedWithThreeInsteadOfHanging)
{
    const SilentHost host;
    program.writeSettingsText("[Params]\r\nAlias=127.0.0.1/" + QByteArray::number(host.port)
                              + ":hotel\r\nConnectTimeout=2\r\nBackup=/backup/hotel.fbk\r\n");
    EXPECT_EQ(run(), 3);
    const QStringList log = program.logEntries();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().startsWith(QStringLiteral("ZALOHA CHYBA   | "))) << log.join('\n').toStdString();
}

TEST_F(SafetyNetRun, CheckEndsWithTwoUnconnectedOneBeforeAndZeroAfterTheUpdateWithoutWritingAnything)
{
    program.writeSettings(QStringLiteral("/nonexistent-dph2012/hotel.fdb"));
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 2);
    EXPECT_TRUE(program.standardOutput().contains(QStringLiteral("Pripojeni se nezdarilo")));

    program.writeSettings(QStringLiteral("QVT"));
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    const QString before = program.standardOutput();
    EXPECT_TRUE(before.contains(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +2 +0  ZBYVA\n")))) << before.toStdString();
    EXPECT_FALSE(program.hasRunLog());
    EXPECT_EQ(dump("select count(*) from pos_taxes where percentage = 10"), "2|\n");

    ASSERT_EQ(run(), 0);
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 0);
    const QString after = program.standardOutput();
    EXPECT_TRUE(after.contains(QRegularExpression(QStringLiteral("1 POS: dane se sazbou 10 +0 +0  OK\n")))) << after.toStdString();
}

// The check reads part of its report on a second attachment; a database that admits only one
// (shut down to single use for support's work) is still checked whole.
TEST_F(SafetyNetRun, ADatabaseThatAdmitsOneAttachmentIsCheckedWhole)
{
    connection.close();
    const int online = program.run({QStringLiteral("--check")});
    const QString report = program.standardOutput();
    ASSERT_TRUE(report.contains(QStringLiteral("7 Uctovani zrusenych rezervaci"))) << report.toStdString();
    db::shutDownDatabase(database.path(), "SYSDBA", "", 0, db::Shutdown::Single);
    EXPECT_EQ(program.run({QStringLiteral("--check")}), online);
    EXPECT_EQ(program.standardOutput(), report);
}

// A stop signal during the embedded engine's backup: the unfinished file goes and the backup's
// entry gets its outcome before the run's end.
TEST_F(SafetyNetRun, AStopDuringTheBackupGivesTheBackupEntryItsOutcome)
{
    connection.execute("create table TEST_BULK (ID integer, TXT varchar(160))");
    connection.execute("execute block as declare i integer = 0; begin while (i < 600000) do begin insert into "
                       "TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    connection.close();
    const QString backup = QString::fromStdString((database.directory() / "hotel.fbk").string());
    program.writeSettingsText("[Params]\r\nAlias=QVT\r\nBackup=" + backup.toUtf8() + "\r\n");
    program.start({QStringLiteral("x")});
    ASSERT_TRUE(program.writesToStandardError(QStringLiteral("dph2012: backup: ")));
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.endsByItself());
    EXPECT_EQ(program.exitCode(), 143);
    const QStringList entries = program.logEntries();
    const qsizetype started = entries.indexOf(QStringLiteral("ZALOHA         | ") + backup);
    ASSERT_GE(started, 0) << entries.join('\n').toStdString();
    ASSERT_EQ(entries.size(), started + 3) << entries.join('\n').toStdString();
    EXPECT_TRUE(entries[started + 1].startsWith(QStringLiteral("ZALOHA CHYBA   | preruseno"))) << entries[started + 1].toStdString();
    EXPECT_EQ(entries[started + 2], QStringLiteral("PRERUSENO      | SIGTERM"));
    EXPECT_FALSE(QFile::exists(backup));
}

// When the claim's own statements are refused, whether another instance runs cannot be told: the
// run is refused with one entry, as if one did.
TEST_F(SafetyNetRun, AClaimThatCannotBeTakenRefusesTheRunWithThree)
{
    connection.execute("create exception DPH_NO_TRANSACTIONS 'no transactions tonight'");
    connection.execute("create trigger DPH_NO_TRANSACTIONS on transaction start as begin if (exists (select 1 from "
                       "QVT_KONFIG where ITEM = 'NoTransactions')) then exception DPH_NO_TRANSACTIONS; end");
    connection.execute("insert into QVT_KONFIG (ITEM, HODNOTACZ) values ('NoTransactions', '1')");
    EXPECT_EQ(run(), 3);
    const QStringList entries = program.logEntries();
    ASSERT_EQ(entries.size(), 1) << entries.join('\n').toStdString();
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("ERROR          | Nelze zjistit, zda bezi jina aktualizace")))
        << entries[0].toStdString();
    EXPECT_TRUE(entries[0].contains(QStringLiteral("no transactions tonight"))) << entries[0].toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("cannot tell whether another update"))) << program.standardError().toStdString();
}

// The check's verdict on what a run leaves: the 2011 part of a split stay and a second rate 14
// are no work left, an object whose text differs from the program's is, and a service at the old
// rate without a type is shown apart.
TEST_F(SafetyNetRun, CheckCountsWhatARunWouldStillDo)
{
    ASSERT_EQ(run(), 0);
    // What "Spusť pouze krok 7" sends for option b, after the full update.
    for (db::ResultSet groups = connection.select(
             "select distinct CisloSkupiny from rec_mm_rezervace r join rec_mm_rezdet d on d.CisloRezervace = "
             "r.CisloRezervace where r.DatumPrijezd < '31.12.2011' and r.DatumOdjezd > '31.12.2011' and "
             "r.Status <> 8 and d.MarkovanoDo is null");
         !groups.eof(); groups.next())
        connection.execute("execute procedure REC_DPH_DeleniPobytu(" + groups.text(0) + ",\"31.12.2011\")");
    // Step 5's condition without the split's own lines: the 2011 parts put back to 10.
    EXPECT_EQ(dump("select count(*) from rec_mm_rezdet where MarkovanoDo is null and DPH = 10 and datumdo >= "
                   "'1.1.2012'"),
              "9|\n");

    const std::string olderSplit = "create or alter procedure REC_DPH_DeleniPobytu (ICisloKlienta INTEGER, IDatum DATE) "
                                   "as begin end";
    QString current = scriptStatement("REC_DPH_DeleniPobytu");
    // The same text with other line ends and blanks around its lines is the same object.
    const std::string sameSplitReflowed = current.replace(QStringLiteral("\r\n"), QStringLiteral("  \n\t")).toStdString();
    const struct {
        std::string change;
        int exitStatus;
        const char* line;
    } cases[] = {
        {"", 0, "5 Rezervace od 1.1.2012 se sazbou 10 +0 +0  OK\n"},
        {"insert into fbs_vat (id_vat, vat_rate, name) values (99, 14, 'Snizena 2012')", 0,
         "2 FBS: sazba 14 \\(aspon jeden radek\\) +2 +>=1  OK\n"},
        {olderSplit, 1, "6 REC_DPH_DeleniPobytu aktualni verze +0 +1  ZBYVA: jina verze\n"},
        {sameSplitReflowed, 0, "6 REC_DPH_DeleniPobytu aktualni verze +1 +1  OK\n"},
        {"insert into cissluz (cislosluzby, nazev, typsluzby, dph) values (777, 'Bez typu', null, 10)", 0,
         "3 REC: sluzby se sazbou 10 bez typu +1 +0  pozor \\(nepocita se\\)\n"},
        {"drop trigger REC_CHECKHEAD_DPH_TRIGGER", 1, "6 REC_CHECKHEAD_DPH_TRIGGER aktualni verze +0 +1  ZBYVA: chybi\n"},
    };
    for (const auto& [change, exitStatus, line] : cases) {
        SCOPED_TRACE(change);
        if (!change.empty())
            connection.execute(change);
        connection.close();
        EXPECT_EQ(program.run({QStringLiteral("--check")}), exitStatus);
        const QString report = program.standardOutput();
        EXPECT_TRUE(report.contains(QRegularExpression(QString::fromUtf8(line)))) << report.toStdString();
    }
}

// A Czech alias leads to a database file whose path holds Czech letters. The locale decides how
// file names are spelt in bytes, as the code page does on Windows; the program hands the client
// UTF-8 and must say so, or the name is misread.
struct CzechLocale {
    const char* name;
    const char* charset; // the locale is built for the test unless empty
    const char* alias;   // "HOTEL_ŽĎÁR" and "Účty Žďár" in the locale's bytes
    const char* folder;
};

class AutomaticRunOnACzechAlias : public testing::TestWithParam<CzechLocale> {};

TEST_P(AutomaticRunOnACzechAlias, ConnectsAndEndsWithZero)
{
    const CzechLocale locale = GetParam();
    const FreshDatabase source(HotelData::Base);
    const std::filesystem::path locales = source.directory(), directory = source.directory() / locale.folder;
    InstalledProgram program;
    if (*locale.charset) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("localedef"), {"-i", "cs_CZ", "-f", locale.charset,
                                                                 QString::fromStdString((locales / locale.name).string())}),
                  0);
    }
    program.setEnvironment(QStringLiteral("LOCPATH"), QString::fromStdString(locales.string()));
    program.setEnvironment(QStringLiteral("LC_ALL"), QString::fromLatin1(locale.name));
    std::filesystem::create_directory(directory);
    std::filesystem::copy_file(source.path(), directory / "hotel.fdb");
    const FirebirdRoot root({{locale.alias, (directory / "hotel.fdb").string()}});
    program.setFirebirdRoot(QString::fromStdString(root.path()));
    program.writeSettings(QString::fromUtf8("HOTEL_ŽĎÁR"));
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0);
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("ENGINE ERROR")), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Locales, AutomaticRunOnACzechAlias,
                         testing::Values(CzechLocale{"C.UTF-8", "", "HOTEL_ŽĎÁR", "Účty Žďár"},
                                         CzechLocale{"cs_CZ.ISO-8859-2", "ISO-8859-2", "HOTEL_\xAE\xCF\xC1R",
                                                     "\xDA\xE8ty \xAE\xEF\xE1r"}),
                         [](const auto& info) { return std::string(info.index == 0 ? "Utf8" : "Latin2"); });

class AutomaticRunOnAnUnmappedAlias : public testing::Test {
protected:
    FirebirdRoot root{{}};
    InstalledProgram program;
};

TEST_F(AutomaticRunOnAnUnmappedAlias, LogsEveryStatementWithItsEngineErrorReachesKonecAndEndsWithThree)
{
    program.writeSettings(QStringLiteral("QVT"));
    program.setFirebirdRoot(QString::fromStdString(root.path()));
    program.start({QStringLiteral("x")});
    ASSERT_TRUE(program.endsByItself());
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 3) << "nothing could be connected, so nothing was changed";

    QStringList statements = kStatementsOfSteps1To6;
    statements.removeAt(2); // the insert: a failed count counts as an existing rate
    statements += step6().mid(1);
    const QStringList entries = program.logEntries();
    for (const QString& statement : statements) {
        const int at = entries.indexOf(statement);
        ASSERT_GE(at, 0) << statement.left(80).toStdString();
        ASSERT_LT(at + 1, entries.size());
        EXPECT_TRUE(entries[at + 1].startsWith(QStringLiteral("ENGINE ERROR   | "))) << statement.left(80).toStdString();
    }
    EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral("^ENGINE ERROR   \\| \\d+ -?\\d+ \\S"))).size(),
              statements.size());
    EXPECT_EQ(entries.mid(0, 3), opening());
    EXPECT_EQ(entries.mid(entries.size() - 4), closing());
}

} // namespace
