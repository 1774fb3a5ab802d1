#pragma once

#include "update/safety/Descriptor.h"
#include "update/safety/Sha256.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>

namespace update {

// A backup file on this machine opened once for everything the way back reads of it: its size,
// its header, its SHA-256 and the restore all come from this one descriptor, so no other file can
// be put under its name in between.
class OpenedBackup {
public:
    // Throws std::runtime_error, in the log's words, when the name holds a link or no plain file,
    // or it cannot be opened.
    explicit OpenedBackup(const QString& path);

    qint64 size() const { return size_; }
    // The database its header names; nothing when it does not begin as a backup.
    std::optional<QString> database() const;
    // The next piece from where the last one ended, at most `wanted` bytes, hashed on its way;
    // empty at the end or when the system refuses (the SHA-256 is then empty too).
    std::string read(std::size_t wanted);
    // The SHA-256 of the whole file, in hexadecimal, what no read has taken read now; empty
    // when a read failed. Once only, after the last read.
    QString sha256();
    // Back to the file's start, with a hash begun anew: the same opening read once more.
    // False when the system refuses.
    bool rewind();

private:
    const Descriptor file_;
    qint64 size_ = 0;
    Sha256 hash_;
    bool failed_ = false;
};

} // namespace update
