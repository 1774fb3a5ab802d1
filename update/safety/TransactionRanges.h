#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

namespace update {

// Runs of the database's transaction numbers, each [first, end).
using TransactionRanges = std::vector<std::pair<qint64, qint64>>;

} // namespace update
