#pragma once

#include <QString>

#include <optional>

namespace update {

// What a backup file on this machine tells of itself.

// The database a backup file was made of, as its header names it (the path its engine opened);
// nothing when the file cannot be read or does not start as a backup of this engine's kind.
std::optional<QString> backedUpDatabase(const QString& backupFile);

// The SHA-256 of a file this machine can read, in hexadecimal; empty when it cannot be read.
QString sha256OfFile(const QString& path);

} // namespace update
