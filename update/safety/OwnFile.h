#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace update {

// Files this program keeps for itself on this machine: made by it alone, readable by its user
// alone, never reached through a link.

// Replaces the file's whole content at once (a new file renamed over it), owner-only; a reader
// sees the old content or the new, never a part. Empty text on success, else why not.
QString replaceOwnFile(const QString& path, const QByteArray& content);

// Whether a name on this machine is taken: by a file, or by a link, even one that leads nowhere.
bool nameTakenHere(const QString& path);

// The file's content, if it is a plain file (not a link) that this user owns; nothing when it is
// missing, and nothing when anyone else could have written it.
std::optional<QByteArray> readOwnFile(const QString& path);

} // namespace update
