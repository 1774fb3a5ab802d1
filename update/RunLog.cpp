#include "update/RunLog.h"

#include "update/VisibleText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

// The regional long time without a time zone, as operators know it from the system clock.
QString longTimeFormat(const QLocale& locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    return locale.timeFormat(QLocale::LongFormat).replace(zone, QStringLiteral(" ")).trimmed();
}

// Opens the log to append, never through a link: created readable by its owner only, and an
// existing one written to only when it is a plain file of this user with no other name (a link
// placed by anyone else would send the program's entries into a file of theirs). -1 and why not.
int openOwnLog(const QString& path, QString& why)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        why = errno == ELOOP ? QStringLiteral("it is a symbolic link") : QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat file {};
    if (::fstat(descriptor, &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != ::geteuid() || file.st_nlink != 1) {
        why = QStringLiteral("it is not a plain file of this user with one name");
        ::close(descriptor);
        return -1;
    }
    // A log an earlier version made readable by everyone holds what this one writes.
    if ((file.st_mode & 077) != 0)
        ::fchmod(descriptor, 0600);
    return descriptor;
}

// Appends the bytes, on a line of their own; a write that fails part-way is cut back off, unless
// another program has appended after it meanwhile: its entry is never cut. The reason on
// failure, an empty text on success.
QString appendWhole(const QString& path, const QByteArray& bytes)
{
    QString why;
    const int own = openOwnLog(path, why);
    if (own < 0)
        return why;
    QFile file;
    if (!file.open(own, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(own);
        return file.errorString();
    }
    const qint64 before = file.size();
    QByteArray record = bytes;
    if (before > 0 && (!file.seek(qMax<qint64>(before - 2, 0)) || !file.read(2).endsWith("\r\n")))
        record.prepend("\r\n");
    // Written directly, to know where this entry's bytes ended: appends go wherever the end is then.
    const int descriptor = file.handle();
    qint64 done = 0;
    off_t endOfEntry = -1;
    int error = 0;
    while (done < record.size()) {
        const ssize_t count = ::write(descriptor, record.constData() + done, static_cast<std::size_t>(record.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = count < 0 ? errno : ENOSPC;
            break;
        }
        done += count;
        endOfEntry = ::lseek(descriptor, 0, SEEK_CUR);
    }
    if (error == 0)
        return {};
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    struct stat now {};
    if (done > 0 && ::fstat(descriptor, &now) == 0 && now.st_size == endOfEntry
        && ::ftruncate(descriptor, endOfEntry - done) != 0)
        return reason + QStringLiteral(", a torn entry is left");
    return reason;
}

} // namespace

RunLog::RunLog(const QString& directory, Clock clock, QLocale locale, const QString& fileName)
    : filePath_(QDir(directory).filePath(fileName)), clock_(std::move(clock)), locale_(std::move(locale))
{
}

QString RunLog::timestamp(const QDateTime& moment, const QLocale& locale)
{
    const QString date = locale.toString(moment.date(), QLocale::ShortFormat);
    if (moment.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + locale.toString(moment.time(), longTimeFormat(locale));
}

bool RunLog::WriteLog(const QString& message) const
{
    QString failure;
    try {
        const QString entry = visibleLines(QStringLiteral("%1 | %2").arg(timestamp(clock_(), locale_), message));
        failure = appendWhole(filePath_, entry.toLocal8Bit() + "\r\n");
    } catch (...) {
        failure = QStringLiteral("unexpected error");
    }
    if (failure.isEmpty())
        return true;
    if (!failureReported_ && reporter_) {
        failureReported_ = true;
        reporter_(filePath_, failure);
    }
    return false;
}

} // namespace update
