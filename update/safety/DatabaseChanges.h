#pragma once

#include <QtGlobal>

#include <cstdint>
#include <map>
#include <optional>

namespace update {

class UpdateSession;

// How far the database had come when a backup was about to start: its transactions, counted by
// the engine for everyone and by the session for this program, and, where this user may see
// every attachment, who was attached.
struct TransactionMark {
    qint64 next = 0;              // the engine's next transaction number
    std::uint64_t ownStarted = 0; // the transactions this program had started, this reading's included
    // The database's attachment number that a new attachment got just then; none when this user
    // may not see every attachment, or the engine does not tell.
    std::optional<qint64> attachmentNumber;
    std::uint64_t ownAttachments = 0; // the attachments the session's connection had made
    // Every other user's attachment then (not the engine's own), with the records it had
    // inserted, updated and deleted.
    std::map<qint64, qint64> others;
};

// Reads the mark through the session's connection; empty when the engine does not tell.
std::optional<TransactionMark> markTransactions(UpdateSession& session);

// Whether anyone but this program and the backups made since the mark may have changed the
// database. A transaction that is not this program's nor a backup's makes it so, unless the
// monitoring tables prove that no other attachment was made meanwhile and those that were there
// changed no record and are still there (the engine's own garbage collector starts transactions
// of its own). True when it cannot be told.
bool othersMayHaveChanged(UpdateSession& session, const std::optional<TransactionMark>& since, int backupsSince);

} // namespace update
