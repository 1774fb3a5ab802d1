#include "protocol/GroupFigures.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "update/Amount.h"

#include <algorithm>
#include <map>
#include <string>

namespace update {

namespace {

// Well under the engine's limit of 1500 values in one IN list.
constexpr std::size_t kGroupsPerQuery = 500;

// The closing's and the trigger's own items (a balance carried over, a deposit re-rated) carry
// this in their system information: they move money between accounts and rates, they sell nothing.
constexpr const char* kCarryOver = "'%DPH 2011/2012 #%'";

using GroupsByNumber = std::map<std::string, ProtocolGroup*>;

// The reservations and the accounts of the groups whose numbers `chosen` lists ("in (...)"), or,
// when empty, of every group read whole and each row given to its group when it is one of them.
void fillSome(db::Connection& connection, const std::string& chosen, const GroupsByNumber& byNumber)
{
    const auto groupOf = [&byNumber](const std::string& number) -> ProtocolGroup* {
        const auto found = byNumber.find(number);
        return found == byNumber.end() ? nullptr : found->second;
    };
    for (db::ResultSet reservations = connection.select(
             "select r.CisloSkupiny, r.CisloRezervace, "
             "cast(minvalue(r.DatumOdjezd, cast('31.12.2011' as date)) - r.DatumPrijezd as integer), "
             "cast(r.DatumOdjezd - maxvalue(r.DatumPrijezd, cast('31.12.2011' as date)) as integer) "
             "from REC_MM_REZERVACE r where " + (chosen.empty() ? std::string() : "r.CisloSkupiny " + chosen + " and ")
             + "(r.Status is null or r.Status <> 8) order by r.CisloSkupiny, r.CisloRezervace");
         !reservations.eof(); reservations.next()) {
        ProtocolGroup* const group = groupOf(reservations.text(0));
        if (!group)
            continue;
        group->reservations += (group->reservations.isEmpty() ? QString() : QStringLiteral(", "))
            + QString::fromStdString(reservations.text(1));
        if (!reservations.isNull(2))
            group->nightsBefore += std::max<std::int64_t>(reservations.integer(2), 0);
        if (!reservations.isNull(3))
            group->nightsFrom += std::max<std::int64_t>(reservations.integer(3), 0);
    }
    for (db::ResultSet accounts = connection.select("select h.CisloKlienta, h.CisloUctu, h.Status from REC_CHECKHEAD h "
                                                    + (chosen.empty() ? std::string() : "where h.CisloKlienta " + chosen)
                                                    + " order by h.CisloKlienta, h.CisloUctu");
         !accounts.eof(); accounts.next()) {
        ProtocolGroup* const group = groupOf(accounts.text(0));
        if (!group)
            continue;
        group->accounts += (group->accounts.isEmpty() ? QString() : QStringLiteral(", "))
            + QString::fromStdString(accounts.text(1))
            + (accounts.text(2) == "2" ? QString::fromUtf8(" (uzavřen)") : QString());
    }
}

// The group of a client number, when the client is one of the groups'.
GroupPosting* postingOf(const GroupsByNumber& byNumber, const std::string& client)
{
    const auto found = byNumber.find(client);
    return found == byNumber.end() ? nullptr : &*found->second->posted;
}

// What was posted after the marks, read once for every group: the rows after a mark are the
// step's work, so a long step costs the same per group. The hotel's NUMERIC columns come as
// doubles in dialect 1; summed by the engine. "+ 0": the rows are found by their number, each
// account by its key, never the other way round.
void fillPostings(db::Connection& connection, const GroupsByNumber& byNumber, const PostingMarks& marks)
{
    for (const auto& [number, group] : byNumber)
        group->posted = GroupPosting{};
    for (db::ResultSet items = connection.select(
             "select h.CisloKlienta, iif(d.SysInfo like " + std::string(kCarryOver) + ", -1, coalesce(d.DPH, 0)), "
             "sum(d.Trzba) from REC_CHECKDTL d join REC_CHECKHEAD h on h.CisloUctu = d.CisloUctu + 0 where d.ID > "
             + std::to_string(marks.lastItem) + " group by 1, 2");
         !items.eof(); items.next()) {
        GroupPosting* posted = postingOf(byNumber, items.text(0));
        if (!posted)
            continue;
        const qint64 cents = centsFromEngine(items.text(2));
        if (items.integer(1) < 0)
            posted->carriedOver += cents;
        else
            posted->salesByRate[static_cast<int>(items.integer(1))] += cents;
    }
    for (db::ResultSet journal = connection.select(
             "select h.CisloKlienta, sum(iif(h.Status = 2, p.Castka, 0)), sum(iif(h.Status = 2, 0, p.Castka)) from "
             "REC_POKLDENIK p join REC_CHECKHEAD h on h.CisloUctu = p.CisloUctu + 0 where p.ID > "
             + std::to_string(marks.lastJournalRow) + " group by 1");
         !journal.eof(); journal.next()) {
        if (GroupPosting* posted = postingOf(byNumber, journal.text(0))) {
            posted->journalClosed = centsFromEngine(journal.text(1));
            posted->journalOpen = centsFromEngine(journal.text(2));
        }
    }
}

} // namespace

void fillGroupFigures(db::Connection& connection, std::vector<ProtocolGroup>& groups,
                      const std::optional<PostingMarks>& marks,
                      const std::function<void(std::size_t, std::size_t)>& filled)
{
    GroupsByNumber byNumber;
    for (ProtocolGroup& group : groups) {
        group.reservations.clear();
        group.accounts.clear();
        group.nightsBefore = group.nightsFrom = 0;
        group.posted.reset();
        byNumber[std::to_string(group.group)] = &group;
    }
    if (groups.size() > kGroupsPerQuery) {
        // One read of both tables costs less than the lists' lookups once the groups need more than one.
        fillSome(connection, std::string(), byNumber);
        if (filled)
            filled(groups.size(), groups.size());
    } else if (!groups.empty()) {
        std::string list;
        for (const ProtocolGroup& group : groups)
            list += (list.empty() ? "" : ",") + std::to_string(group.group);
        fillSome(connection, "in (" + list + ")", byNumber);
        if (filled)
            filled(groups.size(), groups.size());
    }
    if (marks && !groups.empty())
        fillPostings(connection, byNumber, *marks);
}

} // namespace update
