#include "update/RunLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace update {

namespace {

// The regional long time without a time zone, as operators know it from the system clock.
QString longTimeFormat(const QLocale& locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    return locale.timeFormat(QLocale::LongFormat).replace(zone, QStringLiteral(" ")).trimmed();
}

// Appends the bytes, on a line of their own; a write that fails part-way is cut back off.
// The reason on failure, an empty text on success.
QString appendWhole(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    // Unbuffered: nothing is left to be written after the file has been cut back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    const qint64 before = file.size();
    QByteArray record = bytes;
    if (before > 0 && (!file.seek(qMax<qint64>(before - 2, 0)) || !file.read(2).endsWith("\r\n")))
        record.prepend("\r\n");
    bool written = file.seek(before) && file.write(record) == record.size() && file.flush();
    if (written) {
        file.close();
        written = file.error() == QFileDevice::NoError;
    }
    if (written)
        return {};
    const QString reason = file.errorString();
    file.resize(before);
    return reason.isEmpty() ? QStringLiteral("write failed") : reason;
}

} // namespace

RunLog::RunLog(const QString& directory, Clock clock, QLocale locale)
    : filePath_(QDir(directory).filePath(kRunLogFileName)), clock_(std::move(clock)), locale_(std::move(locale))
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
        reporter_(QStringLiteral("the run log %1 could not be written: %2").arg(filePath_, failure));
    }
    return false;
}

} // namespace update
