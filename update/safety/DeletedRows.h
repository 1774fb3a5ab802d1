#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace db {
class Connection;
}

namespace update {

// The rows of the backup's state that today's database no longer holds, beside what this program
// itself deletes: found by comparing each table's primary keys (where a table has none, its whole
// rows but for the columns this program changes) between a copy restored from the backup and
// today's database.
struct DeletedRows {
    struct Table {
        QString name;
        qint64 rows = 0;
    };
    std::vector<Table> tables;
    // Tables whose rows could not be compared, each with why: "X (nelze cist)".
    QStringList unseen;

    // "REC_MM_KLIENT 1 radku; QVT_KONFIG 2 radku", joined by "; ".
    QString text() const;
};

// Compares table by table, holding one table's keys of both databases at a time. Throws
// db::EngineError when the copy cannot tell which tables it has.
DeletedRows deletedSinceBackup(db::Connection& backupState, db::Connection& today);

} // namespace update
