#pragma once

#include <QString>
#include <QStringList>

namespace update {

// The backup file where this process's own engine makes it, on this machine: only in a folder
// that no other user can change on the way from the root, never through a link, and written by
// this program under a temporary name of its own until it is whole (BackupFileWriter).

// Why the backup may not go to `wanted`: it is a link (even a dangling one), or a folder on its
// way from the root belongs to another user than this one or root, or others may write to it
// (unless it is sticky, like the system's temporary folder, where only an entry's owner may
// replace it); empty when it may. A folder that is not there is left to the writing, which
// says so in the system's words.
QString localBackupRefusal(const QString& wanted);

// The name a backup carries while it is written: the final name with this suffix.
inline const QString kUnfinishedBackupSuffix = QStringLiteral(".dph2012-castecna");

// The `counter`th name for the unfinished backup of `wanted`: "hotel.fbk.dph2012-castecna", then
// "hotel.fbk-2.dph2012-castecna" and on.
QString unfinishedBackupName(const QString& wanted, int counter);

// Unfinished backups that this program left beside `wanted` (a run killed while writing): plain
// files of this user named after the backup with the suffix above.
QStringList unfinishedBackups(const QString& wanted);

} // namespace update
