#pragma once

#include "update/safety/TransactionRanges.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace update {

class UpdateSession;

// The file beside the run log where this program notes the backups it made, for the way back:
// written by it alone, read only when it is a plain file of this user.
inline const QString kBackupRecordFileName = QStringLiteral("QVTDPH2012-zalohy.stav");

// One backup as the program made it.
struct RecordedBackup {
    QString database;  // as DPH.ini names it
    QString file;      // where this program wrote it, on this machine
    qint64 bytes = 0;
    QString sha256;    // hexadecimal; empty in a record of an earlier version whose server wrote the file
    QDateTime made;    // when it was finished, in UTC
    bool proved = false; // a restore of it (the rehearsal's) succeeded
    // The database's next transaction when the backup began, and after the last command of this
    // program that changed the database since (0 when none did): a record written by a later
    // transaction is someone else's work.
    qint64 transactionAtBackup = 0;
    qint64 transactionAfterOwnWork = 0;
    // The database file the engine had open, the alias and links resolved; empty in a record of
    // an earlier version.
    QString attached = {};
    // The transactions of each command of this program since the backup, [first, end): only what
    // they wrote is this program's own. Empty in a record of an earlier version, whose own work
    // is everything from the backup to transactionAfterOwnWork.
    TransactionRanges ownRanges = {};
    // Those of them in which someone else may have written too: their work cannot be told from
    // this program's.
    TransactionRanges sharedRanges = {};

    // The transactions whose writing is this program's own since the backup, [first, end).
    TransactionRanges ownWork() const;

    // The transaction from which on anything written is not this program's.
    qint64 othersFrom() const { return std::max(transactionAtBackup, transactionAfterOwnWork); }
};

class BackupRecord {
public:
    explicit BackupRecord(const QString& programDir);

    QString filePath() const { return filePath_; }
    // Each returns an empty text when the record was written, else why not.
    QString add(const RecordedBackup& backup) const;
    QString markProved(const QString& database, const QString& file) const;
    // After the way back: the database's backups are only `restored`, whose content the database
    // now holds from transaction `next` on (a restored database counts its transactions anew).
    QString restart(const QString& database, RecordedBackup restored, qint64 next) const;
    // After the database's state was restored from a backup of itself (a way back that failed and
    // put today's state back): its transactions count anew from `next`, everything before is as
    // the program found it. The backups older than `file` go: what others wrote after them can no
    // longer be told.
    QString renumber(const QString& database, const QString& file, qint64 next) const;
    // Notes that a command of this program has changed the database in the transactions from
    // `first` up to `next`, on its newest backup.
    QString noteOwnWork(const QString& database, qint64 first, qint64 next, bool shared = false) const;

    // The database's backups, the newest last; none when the record is missing or not this
    // program's own.
    std::vector<RecordedBackup> of(const QString& database) const;

private:
    std::vector<RecordedBackup> all() const;
    QString write(const std::vector<RecordedBackup>& backups) const;

    QString filePath_;
};

// The database's next transaction, read through the session's open connection; nothing when it
// is not open or the engine does not tell.
std::optional<qint64> nextTransaction(UpdateSession& session);

// The database file the session has open, as its engine resolved the name; empty when it does
// not tell.
QString attachedFile(UpdateSession& session);

// The session's backup noted in the record (not on a rehearsal's copy), with the file the
// session has open; a failure is logged.
void recordBackupMade(UpdateSession& session, RecordedBackup backup);
// Notes, on the newest backup of the session's database, that this program's command has
// changed the database from transaction `first` (the next one as the command began) up to now;
// a failure is logged.
// `shared`: someone else may have written during the command too.
void recordOwnWork(UpdateSession& session, qint64 first, bool shared);

} // namespace update
