#pragma once

#include "update/Stop.h"
#include "update/safety/RehearsalReport.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace update {

struct ConnectionSettings;
class UpdateSession;
class UpdateView;

// Rehearses the full update on a restored copy of the session's database: the backup of the
// Backup setting, its restore into a scratch database beside it on the same server
// ("<backup>-zkouska.fdb", never over an existing file), the full update there with the option
// for staying guests (0 to 3), the readiness check of the copy, and the copy dropped whatever
// happened. The session's database is never changed. The session's run log gets
// "ZKOUSKA        | <copy>" when the copy is made and the report's end entry; the rehearsed
// statements go to the rehearsal log beside it. Copies left by a killed rehearsal (on this
// server, in the program's own record of copies) are dropped first. The view shows the progress. Throws Interrupted on a stop signal, after the copy has
// been dropped.
RehearsalReport Rehearse(UpdateSession& production, UpdateView& view, int option);
// The rehearsal as a command of its own (dph2012 --rehearse): the production database's claim is
// held meanwhile (RunClaimed). Empty when it was refused or stopped.
std::optional<RehearsalReport> RunRehearsal(UpdateSession& production, UpdateView& view, int option);

// A copy of an earlier rehearsal that is still there (a rehearsal that was killed).
struct LeftoverCopy {
    QString path;  // as the server sees it
    bool proved;   // it carries its rehearsal's mark, so the next rehearsal drops it
};
// The copies that this program recorded in its directory on the server of the settings'
// database and that are still there.
// A stop signal gives up the server's answer at once (Interrupted).
QList<LeftoverCopy> leftoverRehearsalCopies(const QString& programDir, const ConnectionSettings& settings,
                                            const StopProbe& stop);

} // namespace update
