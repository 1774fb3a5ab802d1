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

// Nights of lines of a stay that is not cancelled, around 31.12.2011, lying outside their
// reservation's dates uncharged and held by no copy in another reservation of the group: no
// posting will ever charge them (a split that left lines wholly after the date, or a line with a
// negative link across it, on the part that ends there). Throws db::EngineError.
std::vector<LineAtRisk> linesNoPostingReaches(db::Connection& connection);

// Nights charged, or left to be charged, for a cancelled reservation over 31.12.2011: lines of a
// cancelled reservation marked as charged, and the nights of a part ending on 31.12.2011 whose
// 2012 part is cancelled (a split made before cancelled stays were left alone gave it another
// status). Throws db::EngineError.
std::vector<LineAtRisk> chargesOfCancelledStays(db::Connection& connection);

// 2012 parts holding a copy, not charged as far, of a line that was charged beyond 31.12.2011
// before the split: the posting charges those nights a second time. Throws db::EngineError.
std::vector<LineAtRisk> copiesOfChargedLines(db::Connection& connection);

// "501/1001/2004 800,00 CZK" for the first `named`, then "a dalsich N", then the totals per currency.
QStringList describeLines(const std::vector<LineAtRisk>& lines, std::size_t named = 20);

} // namespace update
