#include "RunLogEntries.h"

#include <QFile>
#include <QRegularExpression>

#include <stdexcept>

namespace testsupport {

QStringList runLogEntries(const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The regional date and time, then the separator.
    static const QRegularExpression stamp(QStringLiteral("^[0-9][0-9A-Za-z.,/: ]*? \\| "));
    QStringList entries;
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch())
            entries.append(line.mid(match.capturedLength()));
        else if (!entries.isEmpty())
            entries.last() += QStringLiteral("\r\n") + line;
        else
            throw std::runtime_error("the run log does not begin with a timestamp");
    }
    return entries;
}

} // namespace testsupport
