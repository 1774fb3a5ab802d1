#pragma once

#include "update/NightProtocol.h"

#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace update {

// Fills in what the database holds of each stay group, for the night's protocol: its
// reservations and their nights up to 30.12.2011 and from 31.12.2011 on (where step 7 splits),
// the client's accounts and, after `marks`, what the step posted on them: account items by rate,
// carry-overs of balances apart, and the cash-journal rows. A few queries for hundreds of groups
// at a time, so that a long step 7 is not slowed group by group. `filled` is told after each
// batch how many groups are filled of how many. Throws db::EngineError.
void fillGroupFigures(db::Connection& connection, std::vector<ProtocolGroup>& groups,
                      const std::optional<PostingMarks>& marks,
                      const std::function<void(std::size_t, std::size_t)>& filled = {});

} // namespace update
