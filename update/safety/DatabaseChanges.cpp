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
// The attachments a backup makes to the database: gbak's, and the watch over it.
constexpr qint64 kAttachmentsPerBackup = 2;

// The attachment number a new attachment gets now: the probe's own, which is this program's.
std::optional<qint64> attachmentNumberNow(UpdateSession& session)
{
    db::Connection probe;
    applyTo(probe, session.settings());
    std::optional<qint64> number;
    try {
        number = probe.select("select CURRENT_CONNECTION from RDB$DATABASE").integer(0);
    } catch (const std::exception&) {
    }
    session.noteOwnTransactionsElsewhere(probe.transactionsStarted());
    // A probe between two marks (a command's own beside a backup's) is this program's attachment too.
    session.noteOwnAttachmentsElsewhere(probe.attachmentsMade());
    return number;
}

// Every other user's attachment with its records changed; nothing when this user may not see
// every attachment.
std::optional<std::map<qint64, qint64>> otherAttachments(UpdateSession& session)
{
    const db::ResultSet seesAll = session.Database1.select(
        "select iif(CURRENT_USER = 'SYSDBA' or CURRENT_ROLE = 'RDB$ADMIN' or CURRENT_USER = MON$OWNER, 1, 0) from "
        "MON$DATABASE");
    if (seesAll.integer(0) != 1)
        return std::nullopt;
    std::map<qint64, qint64> others;
    for (db::ResultSet rows = session.Database1.select(
             "select a.MON$ATTACHMENT_ID, r.MON$RECORD_INSERTS + r.MON$RECORD_UPDATES + r.MON$RECORD_DELETES from "
             "MON$ATTACHMENTS a join MON$RECORD_STATS r on r.MON$STAT_ID = a.MON$STAT_ID where a.MON$SYSTEM_FLAG = 0 "
             "and a.MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
         !rows.eof(); rows.next())
        others[rows.integer(0)] = rows.integer(1);
    return others;
}

} // namespace

std::optional<TransactionMark> markTransactions(UpdateSession& session)
{
    try {
        const db::ResultSet row = session.Database1.select("select MON$NEXT_TRANSACTION from MON$DATABASE");
        TransactionMark mark;
        mark.next = row.integer(0);
        mark.ownStarted = session.ownTransactions();
        if (const std::optional<std::map<qint64, qint64>> others = otherAttachments(session)) {
            mark.others = *others;
            mark.attachmentNumber = attachmentNumberNow(session);
        }
        mark.ownAttachments = session.ownAttachments();
        return mark;
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
    if (started - ours <= kTransactionsPerBackup * backupsSince)
        return false;
    if (!since->attachmentNumber || !now->attachmentNumber)
        return true;
    // Attachments made between the two probes besides this program's and the backups': anyone's.
    const qint64 made = *now->attachmentNumber - *since->attachmentNumber - 1;
    // The later mark's own probe is not between the two.
    const qint64 ownMade = static_cast<qint64>(now->ownAttachments - since->ownAttachments) - 1;
    if (made > ownMade + kAttachmentsPerBackup * backupsSince)
        return true;
    // Those that were there: still there, and no record changed.
    for (const auto& [attachment, changes] : since->others) {
        const auto found = now->others.find(attachment);
        if (found == now->others.end() || found->second != changes)
            return true;
    }
    return false;
}

} // namespace update
