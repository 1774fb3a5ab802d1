#pragma once

#include "update/safety/TransactionRanges.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace db {
class Connection;
}

namespace update {

// What others wrote into the database after a moment: the records of each table whose version
// a transaction from `from` on wrote, outside the ranges of this program's own work. A deleted
// record leaves nothing to find once the engine has cleared it.
struct OthersWork {
    struct Table {
        QString name;
        qint64 records = 0;
        qint64 firstTransaction = 0;
        qint64 lastTransaction = 0;
    };
    std::vector<Table> tables;
    // Tables whose names dialect 1 cannot write: they could not be looked at.
    QStringList unreadable;
    // The attachments still there whose transactions wrote some of it: "SYSDBA (192.168.1.5, kalmor.exe)".
    QStringList who;

    bool found() const { return !tables.empty() || !unreadable.isEmpty(); }
    // "REC_CHECKHEAD 3 zaznamy (transakce 901 az 907)" and so on, joined by "; ".
    QString text() const;
};

// Where the database's transactions stood as a look for others' work began: what a transaction
// numbered from `from` on did (the next one then, or an older one of another attachment still
// open), the look may not have seen.
struct TransactionsLookedAt {
    qint64 from = 0;
    qint64 next = 0; // the next transaction then
    // The transactions the looking connection had started by then, the reading's own included.
    std::uint64_t readerStarted = 0;
};

// Read through the connection that then looks; throws db::EngineError when the database refuses.
TransactionsLookedAt transactionsLookedAt(db::Connection& reader);

// How many transactions began on the database from the mark until `next` (the next transaction
// now) beyond the `own` ones this program started meanwhile; 0 when none.
qint64 othersTransactionsSince(const TransactionsLookedAt& mark, qint64 next, std::uint64_t own);

// Throws db::EngineError when the database refuses to tell.
OthersWork othersWorkSince(db::Connection& connection, qint64 from, const TransactionRanges& own);

} // namespace update
