#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

namespace update {

// Files this program keeps for itself on this machine: made by it alone, readable by its user
// alone, never reached through a link.

// Creates the file, empty and readable by its owner only; fails when anything (a file, a link,
// even a dangling one) already has the name. 0 on success, else the error number (EEXIST: taken).
int createOwnFile(const QString& path);

// A file of this program's own that it has just created empty (createOwnFile), opened to write
// its content: never through a link, and only a plain file of this user. Closed when it goes.
class OwnFileWriter {
public:
    // Throws std::runtime_error, with the system's words, when it cannot be opened so.
    explicit OwnFileWriter(const QString& path);
    ~OwnFileWriter();
    OwnFileWriter(const OwnFileWriter&) = delete;
    OwnFileWriter& operator=(const OwnFileWriter&) = delete;
    // Appends; throws std::runtime_error when the system refuses (a full disk).
    void write(const char* data, std::size_t length);
    // Closes it; throws std::runtime_error when the last of it could not be written.
    void finish();

private:
    QByteArray path_;
    int fd_;
};

// Replaces the file's whole content at once (a new file renamed over it), owner-only; a reader
// sees the old content or the new, never a part. Empty text on success, else why not.
QString replaceOwnFile(const QString& path, const QByteArray& content);

// The file's content, if it is a plain file (not a link) that this user owns; nothing when it is
// missing, and nothing when anyone else could have written it.
std::optional<QByteArray> readOwnFile(const QString& path);

} // namespace update
