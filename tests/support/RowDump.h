#pragma once

#include <string>

namespace db {
class Connection;
}

namespace testsupport {

// Every row of a query as one text, "<null>" for NULL and "|" after each field, a line per row:
// for comparing states of the data.
std::string dumpRows(db::Connection& connection, const std::string& sql);

} // namespace testsupport
