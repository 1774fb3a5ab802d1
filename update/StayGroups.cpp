#include "update/StayGroups.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "db/WholeNumber.h"
#include "update/StayingGuests.h"

#include <QStringList>

#include <map>

namespace update {

namespace {

// A line of the 2011 part (PL of reservation P, ending on 31.12.2011) whose whole period the split
// copied into a 2012 part of the same group.
const QString kCopiedLine = QStringLiteral(
    "P.DatumOdjezd = '31.12.2011' and PL.DatumOD < '31.12.2011' and PL.DatumDO > '31.12.2011' and exists (select 1 "
    "from rec_mm_rezervace Q join rec_mm_rezdet QL on QL.CisloRezervace = Q.CisloRezervace where Q.CisloSkupiny = "
    "P.CisloSkupiny and Q.DatumPrijezd = '31.12.2011' and QL.DatumOD = PL.DatumOD and QL.DatumDO = PL.DatumDO and "
    "QL.CisloSluzby = PL.CisloSluzby)");

const QString kFromSplitLines =
    QStringLiteral("select distinct P.CisloSkupiny from rec_mm_rezervace P join rec_mm_rezdet PL on PL.CisloRezervace = "
                   "P.CisloRezervace where ");

const QString kNotClosedOn31December = QStringLiteral(
    "not exists (select 1 from rec_checkhead H where H.CisloKlienta = P.CisloSkupiny and H.Status = 2 and H.REC_DUZP "
    "= -13881)");

QString splitNotPosted()
{
    return kFromSplitLines
        + QStringLiteral("coalesce(P.Status, 0) <> 8 and (PL.MarkovanoDo is null or PL.MarkovanoDo < '31.12.2011') and ")
        + kCopiedLine;
}

QString postedNotClosedOnSplit()
{
    return kFromSplitLines + QStringLiteral("PL.MarkovanoDo >= '31.12.2011' and ") + kCopiedLine + QStringLiteral(" and ")
        + kNotClosedOn31December;
}

// A 2012 part (Q, beginning on 31.12.2011) with a copied line, its period begun before the part.
QString partOf2012NotPosted()
{
    return QStringLiteral(
        "select distinct Q.CisloSkupiny from rec_mm_rezervace Q join rec_mm_rezdet QL on QL.CisloRezervace = "
        "Q.CisloRezervace where Q.DatumPrijezd = '31.12.2011' and coalesce(Q.Status, 0) <> 8 and (QL.MarkovanoDo is "
        "null or QL.MarkovanoDo < minvalue(QL.DatumDO, Q.DatumOdjezd)) and QL.DatumOD < '31.12.2011' and QL.DatumDO > "
        "'31.12.2011'");
}

// Whole stays charged to their end by option d's posting (items as "Internal"), their account open.
QString wholeStayPostedNotClosed()
{
    return QStringLiteral(
        "select distinct R.CisloSkupiny from rec_mm_rezervace R where coalesce(R.Status, 0) <> 8 and "
        "((R.DatumPrijezd < '31.12.2011' and R.DatumOdjezd > '31.12.2011') or (R.DatumPrijezd = '31.12.2011' and exists "
        "(select 1 from rec_mm_rezdet QL where QL.CisloRezervace = R.CisloRezervace and QL.DatumOD < '31.12.2011' and "
        "QL.DatumDO > '31.12.2011'))) and not exists (select 1 from rec_mm_rezdet L where L.CisloRezervace = "
        "R.CisloRezervace and (L.MarkovanoDo is null or L.MarkovanoDo < minvalue(L.DatumDO, R.DatumOdjezd))) and "
        "exists (select 1 from rec_checkhead H join rec_checkdtl D on D.CisloUctu = H.CisloUctu where H.CisloKlienta = "
        "R.CisloSkupiny and H.Status < 2 and D.Usr = 'Internal')");
}

// Which user an account item was posted by is the hotel database's own column; without it a
// posting of whole stays cannot be told from the hotel's, and is not looked for.
bool itemsNameTheirUser(db::Connection& connection)
{
    return connection
               .select("select count(*) from RDB$RELATION_FIELDS where RDB$RELATION_NAME = 'REC_CHECKDTL' and "
                       "RDB$FIELD_NAME = 'USR'")
               .integer(0)
        > 0;
}

void collect(db::Connection& connection, const QString& sql, GroupState state, std::map<qint64, GroupState>& groups)
{
    db::ResultSet rows = connection.select(sql.toStdString());
    for (; !rows.eof(); rows.next())
        if (!rows.isNull(0))
            groups.try_emplace(rows.integer(0), state); // the first state found is the earliest
}

std::vector<StayGroup> inGroupOrder(const std::map<qint64, GroupState>& groups)
{
    std::vector<StayGroup> list;
    for (const auto& [group, state] : groups)
        list.push_back({group, state});
    return list;
}

QString joinedColumn(db::Connection& connection, const QString& sql)
{
    QStringList values;
    for (db::ResultSet rows = connection.select(sql.toStdString()); !rows.eof(); rows.next())
        values.append(QString::fromStdString(rows.text(0)).trimmed());
    return values.join(QStringLiteral(", "));
}

std::map<qint64, GroupState> splitNotPostedGroups(db::Connection& connection)
{
    std::map<qint64, GroupState> groups;
    collect(connection, splitNotPosted(), GroupState::SplitNotPosted, groups);
    return groups;
}

// What option `option` (2 or 3) must still finish, beyond `groups`: the groups split and not posted.
std::map<qint64, GroupState> unfinishedBeyondSplits(db::Connection& connection, int option,
                                                     std::map<qint64, GroupState> groups)
{
    if (option == 2) {
        collect(connection, postedNotClosedOnSplit(), GroupState::PostedNotClosed, groups);
    } else if (option == 3) {
        collect(connection, partOf2012NotPosted(), GroupState::PartOf2012Left, groups);
        if (itemsNameTheirUser(connection))
            collect(connection, wholeStayPostedNotClosed(), GroupState::PostedNotClosed, groups);
    }
    return groups;
}

} // namespace

std::vector<StayGroup> unfinishedGroups(db::Connection& connection, int option)
{
    if (option != 2 && option != 3)
        return {};
    return inGroupOrder(unfinishedBeyondSplits(connection, option, splitNotPostedGroups(connection)));
}

std::set<qint64> groupsWithNightsLeft(db::Connection& connection)
{
    std::set<qint64> groups;
    for (db::ResultSet rows = connection.select(
             "select distinct R.CisloSkupiny from rec_mm_rezervace R join rec_mm_rezdet L on L.CisloRezervace = "
             "R.CisloRezervace where R.DatumPrijezd < '31.12.2011' and R.DatumOdjezd > '31.12.2011' and (R.Status is "
             "null or R.Status <> 8) and L.DatumOD < R.DatumOdjezd and L.DatumDO > R.DatumPrijezd and (L.MarkovanoDo "
             "is null or L.MarkovanoDo < minvalue(L.DatumDO, R.DatumOdjezd))");
         !rows.eof(); rows.next())
        if (!rows.isNull(0))
            groups.insert(rows.integer(0));
    return groups;
}

std::vector<StayGroup> groupsLeft(db::Connection& connection, std::optional<int> option)
{
    std::map<qint64, GroupState> groups;
    if (option && *option > 0) {
        for (const qint64 group : groupsWithNightsLeft(connection))
            groups.try_emplace(group, GroupState::InHouse);
        for (const StayGroup& group : unfinishedGroups(connection, *option))
            groups.try_emplace(group.group, group.state);
    } else {
        // Both options' split groups are the same: read once.
        const std::map<qint64, GroupState> split = splitNotPostedGroups(connection);
        for (const int each : {2, 3})
            for (const auto& [group, state] : unfinishedBeyondSplits(connection, each, split))
                if (state == GroupState::PostedNotClosed)
                    groups.try_emplace(group, state);
    }
    return inGroupOrder(groups);
}

QString stateText(GroupState state)
{
    switch (state) {
    case GroupState::InHouse:
        return QStringLiteral("bydli pres 31.12.2011");
    case GroupState::SplitNotPosted:
        return QStringLiteral("rozdelena, 1. pobyt neuctovan");
    case GroupState::PostedNotClosed:
        return QStringLiteral("namarkovana, ucet neuzavren");
    case GroupState::PartOf2012Left:
        break;
    }
    return QStringLiteral("uzavrena k 31.12.2011, pobyt od 31.12.2011 neuctovan");
}

QString workLeftText(GroupState state, int option)
{
    if (option == 1)
        return QStringLiteral("rozdelit");
    if (state == GroupState::InHouse)
        return option == 2 ? QStringLiteral("rozdelit, namarkovat UB a uzavrit ucet")
                           : QStringLiteral("namarkovat UB a uzavrit ucet");
    if (state == GroupState::PostedNotClosed)
        return QStringLiteral("uzavrit ucet");
    return QStringLiteral("namarkovat UB a uzavrit ucet");
}

QString describeGroup(db::Connection& connection, const StayGroup& group)
{
    const QString number = QString::number(group.group);
    const QString reservations = joinedColumn(
        connection, QStringLiteral("select CisloRezervace from rec_mm_rezervace where CisloSkupiny = %1 and DatumPrijezd "
                                   "<= '31.12.2011' and DatumOdjezd >= '31.12.2011' order by 1")
                        .arg(number));
    const QString account = joinedColumn(
        connection,
        QStringLiteral("select min(CisloUctu) from rec_checkhead where CisloKlienta = %1 and Status < 2").arg(number));
    return QStringLiteral("%1 (rezervace %2; ucet %3): %4")
        .arg(number, reservations.isEmpty() ? QStringLiteral("-") : reservations,
             account.isEmpty() ? QStringLiteral("-") : account, stateText(group.state));
}

} // namespace update
