#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace update {

// What a backup file on this machine tells of itself.

// The database a backup was made of, as the header in its first bytes names it (the path its
// engine opened; kBackupHeaderBytes of them suffice); nothing when they do not start as a backup
// of this engine's kind.
std::optional<QString> backedUpDatabaseIn(const QByteArray& head);
inline constexpr qint64 kBackupHeaderBytes = 1024;

} // namespace update
