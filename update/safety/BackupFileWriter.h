#pragma once

#include "update/safety/Sha256.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cstddef>

namespace update {

// A backup this program writes on this machine, through a descriptor it opened itself: under a
// temporary name of its own beside the backup's name (created exclusively, owner-only, never
// through a link; the next free one when another file has it) until it is whole; then flushed to disk, given its name (never over another
// file), and proved to be the very file written. One that is not finished is removed when the
// writer goes, so no cut backup ever carries the backup's name.
class BackupFileWriter {
public:
    // Throws std::runtime_error, with the system's words, when the temporary file cannot be made.
    explicit BackupFileWriter(const QString& file);
    ~BackupFileWriter();
    BackupFileWriter(const BackupFileWriter&) = delete;
    BackupFileWriter& operator=(const BackupFileWriter&) = delete;

    // Appends; throws std::runtime_error when the system refuses (a full disk).
    void write(const char* data, std::size_t length);
    // Flushes, names and proves the file; throws std::runtime_error when any of it fails.
    void finish();
    // Removes the unfinished file unless it has been named already; once only, from any thread.
    void discard();
    // Whether the backup's name was given to the file written (then the name is this writer's).
    bool named() const { return named_; }

    // The file this writer created, the only one it or its caller may remove.
    QString temporaryPath() const { return QFile::decodeName(temporary_); }
    // The SHA-256 of what was written, in hexadecimal: the way back proves the file by it.
    QString sha256() const { return hash_.hex(); }

private:
    QByteArray file_;
    QByteArray temporary_;
    int fd_ = -1;
    // The unfinished file was named or removed: its name is no longer this writer's.
    std::atomic<bool> released_ = false;
    std::atomic<bool> named_ = false;
    Sha256 hash_;
};

} // namespace update
