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

// The reservations and the accounts of some groups, by their numbers.
void fillSome(db::Connection& connection, const std::vector<ProtocolGroup*>& some, const GroupsByNumber& byNumber)
{
    std::string list;
    for (const ProtocolGroup* group : some)
        list += (list.empty() ? "" : ",") + std::to_string(group->group);
    for (db::ResultSet reservations = connection.select(
             "select r.CisloSkupiny, r.CisloRezervace, "
             "cast(minvalue(r.DatumOdjezd, cast('31.12.2011' as date)) - r.DatumPrijezd as integer), "
             "cast(r.DatumOdjezd - maxvalue(r.DatumPrijezd, cast('31.12.2011' as date)) as integer) "
             "from REC_MM_REZERVACE r where r.CisloSkupiny in (" + list
             + ") and (r.Status is null or r.Status <> 8) order by r.CisloSkupiny, r.CisloRezervace");
         !reservations.eof(); reservations.next()) {
        ProtocolGroup& group = *byNumber.at(reservations.text(0));
        group.reservations += (group.reservations.isEmpty() ? QString() : QStringLiteral(", "))
            + QString::fromStdString(reservations.text(1));
        if (!reservations.isNull(2))
            group.nightsBefore += std::max<std::int64_t>(reservations.integer(2), 0);
        if (!reservations.isNull(3))
            group.nightsFrom += std::max<std::int64_t>(reservations.integer(3), 0);
    }
    for (db::ResultSet accounts = connection.select("select h.CisloKlienta, h.CisloUctu, h.Status from REC_CHECKHEAD h "
                                                    "where h.CisloKlienta in (" + list
                                                    + ") order by h.CisloKlienta, h.CisloUctu");
         !accounts.eof(); accounts.next()) {
        ProtocolGroup& group = *byNumber.at(accounts.text(0));
        group.accounts += (group.accounts.isEmpty() ? QString() : QStringLiteral(", "))
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
    std::vector<ProtocolGroup*> some;
    for (std::size_t at = 0; at < groups.size(); ++at) {
        some.push_back(&groups[at]);
        if (some.size() == kGroupsPerQuery || at + 1 == groups.size()) {
            fillSome(connection, some, byNumber);
            some.clear();
            if (filled)
                filled(at + 1, groups.size());
        }
    }
    if (marks && !groups.empty())
        fillPostings(connection, byNumber, *marks);
}

} // namespace update
