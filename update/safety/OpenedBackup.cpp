#include "update/safety/OpenedBackup.h"

#include "update/safety/BackupHeader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

constexpr std::size_t kHashPiece = 1024 * 1024;

std::runtime_error refusal(const QString& path, const QString& why)
{
    return std::runtime_error((QStringLiteral("zalohu %1 nelze otevrit: ").arg(path) + why).toLocal8Bit().toStdString());
}

} // namespace

OpenedBackup::OpenedBackup(const QString& path)
    : file_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC))
{
    if (!file_.valid())
        throw refusal(path, errno == ELOOP ? QStringLiteral("je to symbolicky odkaz")
                                           : QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status {};
    if (::fstat(file_.get(), &status) != 0)
        throw refusal(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        throw refusal(path, QStringLiteral("neni to obycejny soubor"));
    size_ = status.st_size;
}

std::optional<QString> OpenedBackup::database() const
{
    QByteArray head(static_cast<qsizetype>(kBackupHeaderBytes), '\0');
    const ssize_t count = ::pread(file_.get(), head.data(), static_cast<std::size_t>(head.size()), 0);
    if (count <= 0)
        return std::nullopt;
    head.truncate(count);
    return backedUpDatabaseIn(head);
}

std::string OpenedBackup::read(std::size_t wanted)
{
    std::string piece(wanted, '\0');
    for (;;) {
        const ssize_t count = ::read(file_.get(), piece.data(), wanted);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            failed_ = true;
            return {};
        }
        piece.resize(static_cast<std::size_t>(count));
        hash_.add(piece.data(), piece.size());
        return piece;
    }
}

QString OpenedBackup::sha256()
{
    while (!failed_ && !read(kHashPiece).empty()) {
    }
    return failed_ ? QString() : hash_.hex();
}

bool OpenedBackup::rewind()
{
    hash_.reset();
    failed_ = ::lseek(file_.get(), 0, SEEK_SET) != 0;
    return !failed_;
}

} // namespace update
