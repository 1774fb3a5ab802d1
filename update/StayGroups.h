#pragma once

#include <QString>

#include <optional>
#include <set>
#include <vector>

namespace db {
class Connection;
}

namespace update {

// Where a stay group over the year end stands, as the database shows it. Nothing of a run is
// remembered: a failure, a stop or another option leaves a state that the next step 7 reads.
enum class GroupState {
    InHouse,         // a reservation across 31.12.2011 with lines to charge (the stay query's)
    SplitNotPosted,  // split at 31.12.2011, its 2011 part not charged
    PostedNotClosed, // its accommodation charged, the account it went to still open
    PartOf2012Left,  // split, charged and closed up to 31.12.2011, its 2012 part not charged (option d)
};

struct StayGroup {
    qint64 group = 0;
    GroupState state = GroupState::InHouse;
};

// The groups besides those in house that `option` (1 to 3 for b to d) must still finish, in group
// order; none for a and b. The proofs:
// - split by this program: a reservation of the group ending on 31.12.2011 and one beginning on
//   it hold the same line (service and whole period across 31.12.2011); only the update's split
//   copies a line without cutting its period;
// - its 2011 part not charged: such a line of the part ending on 31.12.2011 is not charged up to
//   that date (MarkovanoDo empty or earlier);
// - closed: the group's client has an account closed on 31.12.2011 (Status 2, REC_DUZP -13881),
//   as the closing leaves it (option c); option d's posting of whole stays is found by the items
//   it posts as "Internal" on an account of the client that is still open (where the account
//   items name their user, in REC_CHECKDTL.USR).
// Throws db::EngineError when the database refuses to tell.
std::vector<StayGroup> unfinishedGroups(db::Connection& connection, int option);

// The groups with a stay across 31.12.2011, not cancelled, that still has nights to charge within
// its dates: the stay query's groups, less those whose every night is charged already (a line
// lying outside its stay's dates keeps them in that query for ever), and with those it misses (a
// stay whose lines are all charged in part, or without a status). Throws db::EngineError.
std::set<qint64> groupsWithNightsLeft(db::Connection& connection);

// What the check counts as left: with the option step 7 last ran with (b to d), the groups in
// house and those it must still finish; otherwise the groups whose posting left the account open,
// the one leftover that no option wants. Throws db::EngineError.
std::vector<StayGroup> groupsLeft(db::Connection& connection, std::optional<int> option);

// Czech words for the run log and the check: "rozdelena, neuctovana" and so on.
QString stateText(GroupState state);
// What finishing the group takes: "namarkovat UB a uzavrit ucet" and so on.
QString workLeftText(GroupState state, int option);

// One group as the check lists it: "502 (rezervace 1002, 1003; ucet 5002): rozdelena, neuctovana".
QString describeGroup(db::Connection& connection, const StayGroup& group);

} // namespace update
