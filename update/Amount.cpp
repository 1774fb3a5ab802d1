#include "update/Amount.h"

#include <cmath>

namespace update {

qint64 centsFromEngine(const std::string& engineText)
{
    if (engineText.empty())
        return 0;
    return std::llround(std::stod(engineText) * 100.0);
}

QString amountText(qint64 cents)
{
    const qint64 whole = (cents < 0 ? -cents : cents) / 100;
    const qint64 hundredths = (cents < 0 ? -cents : cents) % 100;
    QString digits = QString::number(whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return (cents < 0 ? QStringLiteral("-") : QString()) + digits + QLatin1Char(',')
        + QStringLiteral("%1").arg(hundredths, 2, 10, QLatin1Char('0'));
}

} // namespace update
