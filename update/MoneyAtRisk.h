#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace db {
class Connection;
}

namespace update {

// One reservation line whose money the hotel's posting gets wrong, with what is at stake, in the
// line's currency.
struct LineAtRisk {
    qint64 group = 0;
    qint64 reservation = 0;
    qint64 line = 0;
    qint64 cents = 0;
    QString currency;
};

// Nights from 31.12.2011 on of a stay that goes on in a 2012 part, held by lines left on the part
// that ends on 31.12.2011 (lines wholly after the date, or with a negative link across it, as a
// split made by an older text left them), uncharged and copied to no 2012 part: no posting will
// ever charge them. Throws db::EngineError.
std::vector<LineAtRisk> linesNoPostingReaches(db::Connection& connection);

// Nights charged for a cancelled reservation over 31.12.2011: its lines marked as charged.
// Throws db::EngineError.
std::vector<LineAtRisk> chargesOfCancelledStays(db::Connection& connection);

// 2012 parts holding a copy, not charged as far, of a line that was charged beyond 31.12.2011
// before the split: the posting charges those nights a second time. Throws db::EngineError.
std::vector<LineAtRisk> copiesOfChargedLines(db::Connection& connection);

// "501/1001/2004 800,00 CZK" for the first `named`, then "a dalsich N", then the totals per currency.
QStringList describeLines(const std::vector<LineAtRisk>& lines, std::size_t named = 20);

} // namespace update
