#pragma once

#include "update/NightProtocol.h"

namespace db {
class Connection;
}

namespace update {

// What the database holds of a stay group, for the night's protocol: its reservations and their
// nights before and after 31.12.2011 (where step 7 splits), the client's accounts and what they
// hold at 10 % and at 14 %. `state` is left empty. Throws db::EngineError.
ProtocolGroup groupFigures(db::Connection& connection, qint64 group);

} // namespace update
