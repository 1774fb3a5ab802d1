#pragma once

#include <map>
#include <string>

namespace db {
class Connection;
}

namespace testsupport {

// What a night's commands leave in the hotel's data, by content: every rate, every reservation's
// dates and status, every reservation line, every account with its total, every posted item and
// cash-journal row, the stock and banquet rates and the installed objects. Numbers the database
// draws from generators (reservation, stay, line and account numbers) and the time of day of
// a posting are left out, so two runs that did the same work compare equal.
// One text per part of the data, named, so a difference shows where it is.
using EndState = std::map<std::string, std::string>;
EndState nightEndState(db::Connection& connection);

} // namespace testsupport
