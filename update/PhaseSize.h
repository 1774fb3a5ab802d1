#pragma once

#include <QtGlobal>

namespace db {
class Connection;
}

namespace update {

// The database's size as its engine tells it (its pages times the page size): what a backup
// reads and a restore writes back. 0 when the engine cannot tell (no connection, no right).
qint64 databaseBytes(db::Connection& connection);

} // namespace update
