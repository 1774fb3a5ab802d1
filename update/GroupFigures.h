#pragma once

#include "update/NightProtocol.h"

#include <vector>

namespace db {
class Connection;
}

namespace update {

// Fills in what the database holds of each stay group, for the night's protocol: its
// reservations and their nights before and after 31.12.2011 (where step 7 splits), the client's
// accounts and what they hold at 10 % and at 14 %. A few queries for hundreds of groups at a
// time, so that a long step 7 is not slowed group by group. Throws db::EngineError.
void fillGroupFigures(db::Connection& connection, std::vector<ProtocolGroup>& groups);

} // namespace update
