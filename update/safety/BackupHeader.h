#pragma once

#include <QString>

#include <optional>

namespace update {

// The database a backup file was made of, as its header names it (the path its engine opened);
// nothing when the file cannot be read or does not start as a backup of this engine's kind.
std::optional<QString> backedUpDatabase(const QString& backupFile);

} // namespace update
