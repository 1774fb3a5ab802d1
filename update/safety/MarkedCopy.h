#pragma once

#include "update/Stop.h"

#include <QString>

namespace db {
class Connection;
}

namespace update {

struct ConnectionSettings;

// A database that this program restores for itself beside another on the same server (a
// rehearsal's copy, the way back's copy of the backup's state) carries a mark of its own as its
// database's description, put there before anything else is done in it: only a database that
// carries the mark recorded for it is ever dropped, never one known by its name alone.

// A new mark, nobody else's.
QString newCopyMark();

// Whether the database carries `mark`; a database that cannot be read (a restore cut off early)
// carries none.
bool carriesMark(db::Connection& connection, const QString& mark);

// Drops the copy `path` on the production database's server if it carries `mark`. False when it
// is not there, carries no such mark, or the engine refuses.
bool dropMarkedCopy(const ConnectionSettings& production, const QString& path, const QString& mark,
                    const StopProbe& stop);

} // namespace update
