#include "update/safety/DatabaseChanges.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "update/UpdateSession.h"

#include <exception>

namespace update {

namespace {

// What one backup through the services manager starts on the database itself: its one snapshot.
// No backup can start fewer, so a backup that started more only costs another backup, never a
// change let through.
constexpr qint64 kTransactionsPerBackup = 1;

} // namespace

std::optional<TransactionMark> markTransactions(UpdateSession& session)
{
    try {
        const db::ResultSet row = session.Database1.select("select MON$NEXT_TRANSACTION from MON$DATABASE");
        return TransactionMark{row.integer(0), session.ownTransactions()};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool othersMayHaveChanged(UpdateSession& session, const std::optional<TransactionMark>& since, int backupsSince)
{
    const std::optional<TransactionMark> now = markTransactions(session);
    if (!since || !now)
        return true;
    // Each reading runs in a transaction of its own, so both marks count one of ours: what lies
    // between them that is not ours is the backups' and everyone else's.
    const qint64 started = now->next - since->next;
    const qint64 ours = static_cast<qint64>(now->ownStarted - since->ownStarted);
    return started - ours > kTransactionsPerBackup * backupsSince;
}

} // namespace update
