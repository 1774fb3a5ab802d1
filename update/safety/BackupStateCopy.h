#pragma once

#include "update/Settings.h"
#include "update/safety/RehearsalRestore.h"

#include <QString>

#include <functional>

namespace update {

class UpdateSession;
class UpdateView;

// The backup's state restored beside a server's database, for the way back to compare with
// today's where it cannot restore a copy and exchange the files: a database that this program
// made itself, recorded and marked as a rehearsal's copy is (so the next rehearsal drops one that
// a killed run left), and dropped once it has served.
class BackupStateCopy {
public:
    // `path`: a name beside the database on the session's server that nothing has. Records it
    // before it exists; throws std::runtime_error when it cannot be recorded.
    BackupStateCopy(UpdateSession& session, QString path);
    // Drops the copy if it is still there.
    ~BackupStateCopy();
    BackupStateCopy(const BackupStateCopy&) = delete;
    BackupStateCopy& operator=(const BackupStateCopy&) = delete;

    const QString& path() const { return path_; }
    // Restores the backup into the copy, handed over piece by piece, while the window stays
    // usable (`bytes`: the size it grows back to), and marks it. Empty when it opened and carries
    // its mark, else why not (what the restore made removed where it can be). Interrupted on a
    // stop signal, the unfinished copy removed first.
    QString restore(UpdateView& view, const BackupPieces& backup, qint64 bytes,
                    const std::function<void(const QString&)>& show);
    // Drops the marked copy and forgets it; false when it is still there.
    bool drop();

private:
    // After a restore that failed: what it made goes, and is forgotten once it has.
    void removeUnmarked();

    UpdateSession& session_;
    const ConnectionSettings settings_;
    const QString server_;
    const QString path_;
    const QString mark_;
    bool marked_ = false;
};

} // namespace update
