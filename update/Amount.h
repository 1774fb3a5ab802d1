#pragma once

#include <QString>

#include <string>

namespace update {

// An amount in hundredths, as the engine gives it in text ("3600", "1234.5", "-1.25e+03"); empty
// reads as 0. Sums of the hotel's NUMERIC columns come as doubles in dialect 1: rounded here once.
qint64 centsFromEngine(const std::string& engineText);

// "3 600,00", "-14 410,00": the accountant's form, thousands apart.
QString amountText(qint64 cents);

} // namespace update
