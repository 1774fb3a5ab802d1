#include "update/RunLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
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

// Appends the bytes, on a line of their own; a write that fails part-way is cut back off, unless
// another program has appended after it meanwhile: its entry is never cut. The reason on
// failure, an empty text on success.
QString appendWhole(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
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
        const QString entry = QStringLiteral("%1 | %2").arg(timestamp(clock_(), locale_), message);
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
