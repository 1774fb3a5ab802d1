#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace db {
struct ServiceTarget;
}

namespace update {

struct ConnectionSettings;
class RunLog;
class UpdateSession;
class UpdateView;

// "/backup/hotel.fbk" -> "/backup/hotel"; a name without an extension stays as it is.
QString withoutExtension(const QString& file);

// The file a backup goes to: `wanted` itself when no such file exists, else with the date and
// time inserted before the extension ("hotel.fbk" -> "hotel-20111231-2305.fbk"), with seconds
// and then a counter when that exists too. `exists` answers for a path as the engine sees it.
// Throws std::runtime_error when a few dozen numbered names are all taken.
QString freeBackupName(const QString& wanted, const QDateTime& now, const std::function<bool(const QString&)>& exists);

// Backs the session's database up through the services manager into the file of the Backup
// setting, logging "ZALOHA" entries and showing progress in the view; the window stays usable.
// The services manager, this process's own engine's or a server's, hands the backup over its
// output to this program, which writes it on this machine itself (BackupFileWriter) and records
// its SHA-256. A backup is good only when the service reported writing more than nothing. An
// empty text when it succeeded, else why it failed (already logged). A stop signal abandons the
// backup within seconds: its unfinished file is removed, and Interrupted is thrown.
// `madeFile`, if given, receives the name the backup was written under. `expectedMilliseconds`:
// how long a rehearsal's backup of the same database took, for the time left.
QString BackupBeforeUpdate(UpdateSession& session, UpdateView& view, QString* madeFile = nullptr,
                           std::optional<qint64> expectedMilliseconds = std::nullopt);

// A backup's outcome in the run log: "ZALOHA OK      | <bytes> B, <seconds> s", or
// "ZALOHA CHYBA   | <why>"; after a stop signal, the unfinished file `file` that was removed.
void logBackupMade(const RunLog& log, qint64 bytes, qint64 milliseconds);
void logBackupFailed(const RunLog& log, const QString& why);
void logBackupStopped(const RunLog& log, const QString& file);
// Removes the unfinished backups a killed run left beside `wanted`, one log entry each.
void removeUnfinishedBackups(const RunLog& log, const QString& wanted);

// Takes the name for the session's backup on this machine: the file of the Backup setting, or
// with the date and time when that is taken. The name is looked at only (never a link, never in
// a folder another user can change on its way from the root; a killed run's unfinished backups
// beside it are removed first), and the program writes the file itself (BackupFileWriter). Logs
// "ZALOHA <file>". Empty text with `file` set when it succeeded, else why not (logged with
// "ZALOHA CHYBA").
QString takeBackupName(UpdateSession& session, QString& file);

// Whether a file of that name exists where the engine of the settings' database writes: this
// process's own engine sees this machine's files; a server is asked. A name the server cannot
// tell about counts as taken, and after a few of those the answer is an error (std::runtime_error).
// Waiting for the server is given up once `stop` answers true (db::ConnectAbandoned).
std::function<bool(const QString&)> existsWhereTheEngineWrites(const ConnectionSettings& settings,
                                                               const std::function<bool()>& stop = {});
// The same for the settings' server already found in their connection string.
std::function<bool(const QString&)> existsWhereTheEngineWrites(const ConnectionSettings& settings,
                                                               const db::ServiceTarget& target,
                                                               const std::function<bool()>& stop = {});

} // namespace update
