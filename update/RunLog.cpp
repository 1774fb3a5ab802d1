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
    try {
        QFile file(filePath_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        const QString entry = QStringLiteral("%1 | %2").arg(timestamp(clock_(), locale_), message);
        const QByteArray bytes = entry.toLocal8Bit() + "\r\n";
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        file.close();
        return written && file.error() == QFileDevice::NoError;
    } catch (...) {
        return false;
    }
}

} // namespace update
