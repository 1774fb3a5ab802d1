#pragma once

#include "update/safety/BackupRecord.h"

#include <QString>

#include <functional>

namespace update {

class UpdateSession;
class UpdateView;

// What the way back will do, for the operator's consent: the backup that goes back in place of
// the database, and the name today's database is kept under.
struct WayBackPlan {
    RecordedBackup backup;
    QString database;
    // Where today's state stays: a database beside, or a backup beside the night's backup when
    // the server restores over the database.
    QString kept;
    bool keptAsBackup = false;

    // The plan in the operator's words (Czech, for the terminal and the log).
    QString text() const;
};

// How the way back ended.
enum class WayBackEnd {
    Restored,
    AlreadyInPlace, // nobody wrote into the database since the backup: nothing to put back, no copy kept
    Failed,
    Refused,
};

// The process's exit status for that end: 0 when the database holds the backup's state, 2 when
// the way back failed, 3 when it was refused.
int exitStatusOf(WayBackEnd end);

// Puts back the newest backup this program made of the session's database before its own work
// since (or `file`, which must
// be one of them) in its place. Refuses, changing nothing, when another program is attached,
// when anyone but this program wrote into the database since the backup, when the file is not
// the one recorded (its size, its SHA-256, the database its header names), when another update
// of the database runs, or when `confirm` does not consent; the SHA-256 and the others' work are
// checked while the backup is restored beside. Today's database is kept beside under
// "<name>-po-aktualizaci-<date-time>": the backup is restored beside it, opened, and the two
// names are exchanged at once, so the name always holds a whole database. A stop signal before
// the exchange leaves today's database in place and nothing beside it. Through a server whose
// files this program cannot rename, the backup is restored into a copy beside the database for
// the comparison below, the database is shut down and others' work looked for once more, today's
// state is backed up onto this machine beside the night's backup, and the backup restored over
// the database from this machine; when that fails, today's state goes back the same way.
// Rows of the backup's state that someone else deleted since (their keys in the restored copy, not
// in today's database, compared once the database is shut down to this program) refuse it too;
// where that cannot be told, it refuses unless `acceptUnseenDeletions`.
// When nobody, this program included, wrote into the database since the backup (a second way
// back), it says so and changes nothing, keeping no copy.
WayBackEnd RestoreDatabase(UpdateSession& session, UpdateView& view, const QString& file,
                           const std::function<bool(const WayBackPlan&)>& confirm, bool acceptUnseenDeletions = false);

} // namespace update
