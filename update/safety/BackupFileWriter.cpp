#include "update/safety/BackupFileWriter.h"

#include "update/safety/LocalBackupFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

// Names tried for the unfinished file before the backup gives up.
constexpr int kUnfinishedNames = 20;

std::runtime_error systemError(const QByteArray& path, int error = errno)
{
    return std::runtime_error(path.toStdString() + ": " + std::strerror(error));
}

// Gives `from` the name `to` unless something has that name already.
bool renameWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a second name never replaces either.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

} // namespace

BackupFileWriter::BackupFileWriter(const QString& file) : file_(QFile::encodeName(file))
{
    // A name another user's file holds (a shared sticky folder) is theirs: the next one is tried.
    for (int counter = 1; counter <= kUnfinishedNames; ++counter) {
        temporary_ = QFile::encodeName(unfinishedBackupName(file, counter));
        fd_ = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0)
        throw systemError(temporary_);
}

BackupFileWriter::~BackupFileWriter()
{
    if (fd_ >= 0)
        ::close(fd_);
    discard();
}

void BackupFileWriter::discard()
{
    if (!released_.exchange(true))
        ::unlink(temporary_.constData());
}

void BackupFileWriter::write(const char* data, std::size_t length)
{
    hash_.add(data, length);
    for (std::size_t done = 0; done < length;) {
        const ssize_t count = ::write(fd_, data + done, length - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw systemError(temporary_, count < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(count);
    }
}

void BackupFileWriter::finish()
{
    struct stat written {};
    if (::fsync(fd_) != 0 || ::fstat(fd_, &written) != 0)
        throw systemError(temporary_);
    if (released_.exchange(true))
        throw std::runtime_error(temporary_.toStdString() + ": the unfinished backup was discarded");
    if (!renameWithoutReplacing(temporary_, file_)) {
        const int error = errno;
        ::unlink(temporary_.constData());
        throw systemError(file_, error);
    }
    named_ = true;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw systemError(file_);
    // The name must lead to the file written, not to one put in its place.
    struct stat named {};
    if (::lstat(file_.constData(), &named) != 0 || named.st_dev != written.st_dev || named.st_ino != written.st_ino)
        throw std::runtime_error(file_.toStdString() + ": the file under this name is not the backup that was written");
    // The new name in its folder survives a power cut too.
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(file_)).absolutePath());
    if (const int directory = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

} // namespace update
