#pragma once

#include "update/MoneyAtRisk.h"
#include "update/Settings.h"
#include "update/Stop.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace update {

// One line of the readiness report: what is still at the old rate, and what it should be.
struct ReadinessItem {
    QString what;
    QString expected;
    std::optional<qint64> count; // empty when the query failed
    QString error;               // the engine error's three values when it failed
    bool left = false;           // differs from what it should be
    // Part of the update's steps 1 to 6; the others are reported but may be left on purpose.
    bool counted = true;
    // The lines named, where the item counts money the hotel's posting gets wrong.
    std::vector<LineAtRisk> lines;
};

struct ReadinessReport {
    QString connectError; // empty when the connection opened
    std::vector<ReadinessItem> items;
    // What the check did on an attachment of its own beside the caller's: the caller's own work.
    std::uint64_t besideTransactions = 0;
    std::uint64_t besideAttachments = 0;

    // 0 when nothing of steps 1 to 6 is left, 1 when something is, 2 when it could not connect
    // or a query failed.
    int exitStatus() const;
    // The table for standard output.
    QString text(const QString& alias, const QString& user) const;
};

// Looks at the database through the connection without changing anything and without logging.
// `option` (0 to 3 for a to d) is what step 7 ran with: the stay groups it must still finish are
// counted; without one, only groups whose account a posting left open are, and a split is
// reported. Throws Interrupted when a stop signal arrives, after the queries in flight.
// `beforeAttachments` is called before the attachments are looked at: work of the caller's own on
// another attachment ends there. With `secondAttachment` an attachment of the check's own reads
// beside `connection`, both taking the next item left, the longest first; a caller whose own work
// beside keeps the processors busy already reads everything through `connection`.
ReadinessReport CheckReadiness(db::Connection& connection, const StopProbe& stop = [] { return 0; },
                               std::optional<int> option = std::nullopt,
                               const std::function<void()>& beforeAttachments = {}, bool secondAttachment = true);
// The same through a connection of its own, made with the settings; a stop signal also gives up
// a connection being made.
ReadinessReport CheckReadiness(const ConnectionSettings& settings, const StopProbe& stop,
                               std::optional<int> option = std::nullopt);

} // namespace update
