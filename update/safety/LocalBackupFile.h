#pragma once

#include <QString>

namespace update {

// The backup file where this process's own engine writes it, on this machine: only into a
// folder that no other user may write to, never through a link, and only into a file that this
// program has just created, readable by its owner alone.

// Why the backup may not go to `wanted`: it is a link (even a dangling one), or its folder may
// be written to by another user (who could put a link under any name); empty when it may. A
// folder that is not there is left to the service, which says so in its own words.
QString localBackupRefusal(const QString& wanted);

// Claims the name for the backup by creating the file, empty and owner-only, in one step with
// the look whether it is taken: true when something (a file, a link) already has it. A name
// in a folder that is not there is not created and counts as free. Throws std::runtime_error
// when it can be neither created nor found taken.
bool localNameTaken(const QString& path);

} // namespace update
