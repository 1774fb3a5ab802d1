#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>



namespace update {

class UpdateSession;

// How far the database's transactions had come when a backup was about to start, counted by the
// engine for everyone and by the session for this program.
struct TransactionMark {
    qint64 next = 0;            // the engine's next transaction number
    std::uint64_t ownStarted = 0; // the transactions this program had started, this reading's included
};

// Reads the mark through the session's connection; empty when the engine does not tell.
std::optional<TransactionMark> markTransactions(UpdateSession& session);

// Whether anyone but this program and the backups made since the mark may have changed the
// database: a transaction another client started (even a rolled back or reading one counts) is
// enough. True when it cannot be told.
bool othersMayHaveChanged(UpdateSession& session, const std::optional<TransactionMark>& since, int backupsSince);

} // namespace update
