#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <string>

namespace update {

struct ConnectionSettings;
struct RehearsalReport;
class UpdateSession;
class UpdateView;

// The rehearsal's copy of the database: where it is and how it is restored.

// The settings of the copy: on the production database's server.
ConnectionSettings copySettings(const ConnectionSettings& production, const QString& copy);
// The server that the settings' database is on, as the record of copies names it.
QString serverOf(const ConnectionSettings& settings);

// Whether the rehearsal streams its backup into the copy as it is made: with this process's own
// engine. Through a server the backup comes to this machine first, and its file is restored
// into the copy once it is whole.
bool streamsBackupIntoCopy(const ConnectionSettings& settings);

// Restores the backup file `backup` on this machine into the copy while the window stays usable,
// handing it to the restore over its input from one opening; `copyBytes` is the size it grows
// back to (0: unknown). The server's progress lines go to `show`. An empty text when it
// succeeded and what was read is the file written (its SHA-256 is `sha256`), else why not;
// Interrupted on a stop signal, the unfinished copy removed first.
QString restoreCopy(UpdateSession& production, UpdateView& view, const QString& backup, const QString& sha256,
                    const QString& copy, qint64 copyBytes, const std::function<void(const QString&)>& show);

// The next piece of a backup that this program reads itself, at most `wanted` bytes; empty at its end.
using BackupPieces = std::function<std::string(std::size_t wanted)>;
// The same from a backup this program hands the restore piece by piece (from a file it opened).
QString restoreCopy(UpdateSession& production, UpdateView& view, const BackupPieces& backup, const QString& copy,
                    qint64 copyBytes, const std::function<void(const QString&)>& show);

// After a restore that failed or was stopped: the copy it made goes, dropped by its engine or,
// where this machine's engine made it and cannot open it (a disk that filled), as a file. The
// copy's name was free before the restore, so whatever has it is the restore's work. False when
// it could not be removed (a server's copy still being restored).
bool removeFailedCopy(const ConnectionSettings& production, const QString& copy);

// Backs the session's database up into report.backupFile (written by this program under a name
// of its own until whole) and restores the backup into `copy` while it is being made, logging the "ZALOHA"
// entries' outcome and setting the report's backup and restore times. `productionBytes`: the
// database's size (0: unknown), which the copy grows back to. Empty when both succeeded, else the
// report's reason, naming the side that failed; the backup file is then removed, and so is a
// partial copy. Interrupted on a stop signal, the backup file and the copy removed first.
QString backUpIntoCopy(UpdateSession& production, UpdateView& view, RehearsalReport& report, const QString& copy,
                       qint64 productionBytes);

} // namespace update
