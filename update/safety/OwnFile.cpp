#include "update/safety/OwnFile.h"

#include "update/safety/Descriptor.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

Descriptor openNew(const QByteArray& path)
{
    return Descriptor(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
}

bool writeAll(int fd, const QByteArray& content)
{
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t count = ::write(fd, content.constData() + done, static_cast<std::size_t>(content.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += count;
    }
    return true;
}

} // namespace

bool nameTakenHere(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

QString replaceOwnFile(const QString& path, const QByteArray& content)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".new";
    // One left by a run that died while writing; the name is this program's own.
    ::unlink(temporary.constData());
    Descriptor file = openNew(temporary);
    if (!file.valid())
        return lastError();
    if (!writeAll(file.get(), content) || ::fsync(file.get()) != 0 || !file.close()
        || ::rename(temporary.constData(), target.constData()) != 0) {
        const QString reason = lastError();
        ::unlink(temporary.constData());
        return reason;
    }
    return {};
}

std::optional<QByteArray> readOwnFile(const QString& path)
{
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()
        || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::nullopt;
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return content;
        content.append(buffer, count);
    }
}

} // namespace update
