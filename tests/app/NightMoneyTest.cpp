// The hotel's money across the night: whatever the option and the order of the commands, once the
// hotel's checkout has posted every stay, each client is charged what its stays are worth.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "RowDump.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace {

using namespace testsupport;

using Money = std::map<std::int64_t, double>; // per client (the group's payer), in CZK

void pointAt(db::Connection& connection, const FreshDatabase& database)
{
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
}

// What the stays are worth from their lines before the night: each night within its reservation
// once, nothing for a cancelled reservation, nothing more for what was charged in advance.
Money worthOfStays(db::Connection& connection)
{
    Money worth;
    for (db::ResultSet rows = connection.select(
             "select CisloSkupiny, (select OCastka from REC_PrevedNaKoruny(CisloSluzby, Mena, Cena * Pocet * Noci)) "
             "from (select R.CisloSkupiny, L.CisloSluzby, L.Mena, L.Cena, coalesce(L.Pocet, 1) as Pocet, "
             "cast(minvalue(L.DatumDO, R.DatumOdjezd) - maxvalue(L.DatumOD, R.DatumPrijezd, coalesce(L.MarkovanoDo, "
             "L.DatumOD)) as integer) as Noci from REC_MM_REZERVACE R join REC_MM_REZDET L on L.CisloRezervace = "
             "R.CisloRezervace where R.Status is null or R.Status <> 8) where Noci > 0");
         !rows.eof(); rows.next())
        worth[rows.integer(0)] += std::stod(rows.text(1));
    return worth;
}

// The hotel's checkout after the night: its posting for every group, on 2.1.2012 and at departure.
void playCheckout(db::Connection& connection)
{
    std::vector<std::int64_t> groups;
    for (db::ResultSet rows = connection.select("select distinct CisloSkupiny from REC_MM_REZERVACE"); !rows.eof();
         rows.next())
        groups.push_back(rows.integer(0));
    for (const std::int64_t group : groups)
        for (const char* date : {"2.1.2012", "1.1.3000"})
            connection.select("select * from Rec_MM_MarkujUbytovaniKlienta(" + std::to_string(group) + ", '" + date
                              + "', 1, 'Recepce')");
}

// What the postings charged each client, on all its accounts.
Money charged(db::Connection& connection)
{
    Money money;
    for (db::ResultSet rows = connection.select(
             "select H.CisloKlienta, sum(D.Trzba) from REC_CHECKDTL D join REC_CHECKHEAD H on H.CisloUctu = D.CisloUctu "
             "where D.RezDetId is not null group by 1");
         !rows.eof(); rows.next())
        money[rows.integer(0)] = std::stod(rows.text(1));
    return money;
}

// The stays over the year end split by an older text of the split, as an earlier night left them.
void splitByOlderText(const FreshDatabase& database, const std::vector<std::string>& groups)
{
    QFile older(QStringLiteral(OLDER_SPLIT_FILE));
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    db::Connection connection;
    pointAt(connection, database);
    connection.execute(older.readAll().toStdString());
    for (const std::string& group : groups)
        connection.execute("execute procedure REC_DPH_DeleniPobytu(" + group + ",\"31.12.2011\")");
}

TEST(NightMoney, EveryClientIsChargedWhatItsStaysAreWorthWhateverTheOption)
{
    const struct {
        const char* name;
        std::vector<QStringList> commands;
        bool splitByOlderTextFirst = false;
    } nights[] = {
        {"a", {{"--update", "a"}}},
        {"b", {{"--update", "b"}}},
        {"c", {{"--update", "c"}}},
        {"d", {{"--update", "d"}}},
        {"b, then step 7 with d", {{"--update", "b"}, {"--step7", "d"}}},
        {"c, then step 7 with d", {{"--update", "c"}, {"--step7", "d"}}},
        {"step 7 with c, then the update with d", {{"--update", "a"}, {"--step7", "c"}, {"--update", "d"}}},
        // What an older text of the split left is mended by the next step 7.
        {"split by an older text, then c", {{"--update", "c"}}, true},
        {"split by an older text, then d", {{"--update", "a"}, {"--step7", "d"}}, true},
    };
    for (const auto& night : nights) {
        SCOPED_TRACE(night.name);
        const FreshDatabase database(HotelData::Demo);
        db::Connection connection;
        pointAt(connection, database);
        const Money worth = worthOfStays(connection);
        connection.close();
        ASSERT_GT(worth.size(), 4u);
        // Not group 502: its cancelled reservation was split and given another status, which no
        // later run can tell from a stay whose 2012 part was cancelled afterwards.
        if (night.splitByOlderTextFirst)
            splitByOlderText(database, {"501", "503", "507"});

        InstalledProgram program;
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\n");
        for (const QStringList& command : night.commands)
            ASSERT_EQ(program.run(command), 0) << command.join(' ').toStdString() << program.standardError().toStdString();
        EXPECT_EQ(program.run({QStringLiteral("--check")}), 0) << program.standardOutput().toStdString();

        playCheckout(connection);
        const Money after = charged(connection);
        for (const auto& [client, amount] : worth) {
            SCOPED_TRACE(client);
            const auto found = after.find(client);
            ASSERT_NE(found, after.end());
            EXPECT_NEAR(found->second, amount, 0.05); // a night's conversion rounds per posting
        }
        for (const auto& [client, amount] : after)
            EXPECT_TRUE(worth.contains(client) || std::abs(amount) < 0.005) << client << " charged " << amount;
    }
}

// Stays the stay query leaves out (one without a status, one charged in part only) and one it
// keeps for ever (a line lying after the stay's end): each handled once, its money right.
TEST(NightMoney, StaysTheStayQueryMissesOrKeepsForEverAreHandledOnce)
{
    const struct {
        const char* name;
        std::vector<QStringList> commands;
    } nights[] = {
        {"c", {{"--update", "c"}}},
        {"d, then step 7 with d again", {{"--update", "d"}, {"--step7", "d"}}},
    };
    for (const auto& night : nights) {
        SCOPED_TRACE(night.name);
        const FreshDatabase database(HotelData::Demo);
        db::Connection connection;
        pointAt(connection, database);
        for (const char* client : {"510", "511", "512"})
            connection.execute(std::string("insert into REC_MM_KLIENT (CisloKlienta, JmenoKlienta, TypKlienta, "
                                           "CisloPokladny) values (") + client + ", 'Host " + client + "', 'FO', 2)");
        for (const char* stay : {"1020, 510, NULL", "1021, 511, 6", "1022, 512, 6"})
            connection.execute(std::string("insert into REC_MM_REZERVACE (CisloRezervace, CisloSkupiny, Status, "
                                           "DatumPrijezd, DatumOdjezd, CisloPokoje) values (") + stay
                               + ", '28.12.2011', '3.1.2012', 'X')");
        for (const char* line : {"3020, 1020, '28.12.2011', '3.1.2012', 1000, NULL",
                                 "3021, 1021, '28.12.2011', '3.1.2012', 500, NULL",
                                 "3022, 1021, '5.1.2012', '7.1.2012', 100, NULL",
                                 "3023, 1022, '28.12.2011', '3.1.2012', 700, '29.12.2011'"})
            connection.execute(std::string("insert into REC_MM_REZDET (ID, CisloRezervace, DatumOD, DatumDO, Cena, "
                                           "MarkovanoDo, Link, Pocet, CisloSluzby, Mena, DPH, KodRastru) values (")
                               + line + ", 0, 1, 1, 'CZK', 10, 'UB')");
        const Money worth = worthOfStays(connection);
        connection.close();

        InstalledProgram program;
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\n");
        for (const QStringList& command : night.commands)
            ASSERT_EQ(program.run(command), 0) << command.join(' ').toStdString() << program.standardError().toStdString();
        EXPECT_EQ(program.run({QStringLiteral("--check")}), 0) << program.standardOutput().toStdString();
        // Every group closed once on 31.12.2011: one closed account and one open one each.
        EXPECT_EQ(testsupport::dumpRows(connection, "select CisloKlienta, Status, count(*) from REC_CHECKHEAD where "
                                                    "CisloKlienta between 510 and 512 group by 1, 2 order by 1, 2"),
                  "510|1|1|\n510|2|1|\n511|1|1|\n511|2|1|\n512|1|1|\n512|2|1|\n");

        playCheckout(connection);
        const Money after = charged(connection);
        for (const char* client : {"510", "511", "512"})
            EXPECT_NEAR(after.at(std::stoll(client)), worth.at(std::stoll(client)), 0.005) << client;
    }
}

// A database whose stays were split by the older text: the check names every line no posting
// will reach and every copy of a line charged in advance, each with its amount.
TEST(NightMoney, TheCheckNamesWhatAnOlderSplitLeftWithItsAmounts)
{
    const FreshDatabase database(HotelData::Demo);
    splitByOlderText(database, {"501", "502"});
    InstalledProgram program;
    program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\n");
    EXPECT_EQ(program.run({QStringLiteral("--check")}), 1);
    const QString report = program.standardOutput();
    EXPECT_TRUE(report.contains(QRegularExpression(QStringLiteral("7 Uctovani zrusenych rezervaci +0 "))))
        << "charges of a cancelled reservation are read from its own lines";
    const struct {
        const char* item;
        const char* named;
    } expected[] = {
        // The city tax's 2012 nights (negative link), the extra bed and the half board wholly in 2012.
        {"7 Noci od 31.12.2011 na 1. dilu, neuctovane",
         "ZBYVA: 501/1001/2003 90,00 CZK; 501/1001/2004 800,00 CZK; 502/1003/2009 2 100,00 CZK; celkem 2 990,00 CZK"},
        // Parking charged up to 2.1.2012, copied uncharged: 31.12. and 1.1. twice.
        {"7 Pobyty od 31.12.2011 s kopii uctovaneho radku", "pozor (nepocita se): 501/"},
    };
    for (const auto& each : expected) {
        SCOPED_TRACE(each.item);
        const qsizetype at = report.indexOf(QString::fromUtf8(each.item));
        ASSERT_GE(at, 0) << report.toStdString();
        const QString line = report.mid(at, report.indexOf(QLatin1Char('\n'), at) - at);
        EXPECT_TRUE(line.contains(QString::fromUtf8(each.named))) << line.toStdString();
    }
    EXPECT_TRUE(report.contains(QStringLiteral(" 200,00 CZK; celkem 200,00 CZK"))) << report.toStdString();
}

} // namespace
