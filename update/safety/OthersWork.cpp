#include "update/safety/OthersWork.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QRegularExpression>

#include <algorithm>

namespace update {

namespace {

// Tables of the hotel's own (not the engine's, not views, not temporary or external ones).
const char* const kTables = "select trim(RDB$RELATION_NAME) from RDB$RELATIONS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 "
                            "and RDB$VIEW_BLR is null and coalesce(RDB$RELATION_TYPE, 0) = 0 order by 1";

} // namespace

QString OthersWork::text() const
{
    QStringList parts;
    for (const Table& table : tables)
        parts.append(QStringLiteral("%1 %2 zaznamu (transakce %3 az %4)")
                         .arg(table.name)
                         .arg(table.records)
                         .arg(table.firstTransaction)
                         .arg(table.lastTransaction));
    if (!unreadable.isEmpty())
        parts.append(QStringLiteral("tabulky, ktere nelze prohledat: ") + unreadable.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral("; "));
}

TransactionsLookedAt transactionsLookedAt(db::Connection& reader)
{
    const db::ResultSet row = reader.selectFirst(
        "select MON$NEXT_TRANSACTION, (select min(MON$TRANSACTION_ID) from MON$TRANSACTIONS where MON$ATTACHMENT_ID <> "
        "CURRENT_CONNECTION) from MON$DATABASE");
    const qint64 next = row.integer(0);
    const qint64 oldestOther = row.isNull(1) ? next : row.integer(1);
    return {std::min(next, oldestOther), next, reader.transactionsStarted()};
}

qint64 othersTransactionsSince(const TransactionsLookedAt& mark, qint64 next, std::uint64_t own)
{
    return std::max<qint64>(0, next - mark.from - static_cast<qint64>(own));
}

OthersWork othersWorkSince(db::Connection& connection, qint64 from, const TransactionRanges& own)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Z][A-Z0-9_$]*$"));
    QString outsideOwn = QStringLiteral("RDB$RECORD_VERSION >= %1").arg(from);
    for (const auto& [first, end] : own)
        if (end > first)
            outsideOwn += QStringLiteral(" and not (RDB$RECORD_VERSION >= %1 and RDB$RECORD_VERSION < %2)").arg(first).arg(end);
    OthersWork work;
    qint64 lowest = 0, highest = 0;
    for (db::ResultSet tables = connection.select(kTables); !tables.eof(); tables.next()) {
        const QString name = QString::fromStdString(tables.text(0));
        if (!plainName.match(name).hasMatch()) {
            work.unreadable.append(name);
            continue;
        }
        const db::ResultSet written = connection.selectFirst(
            QStringLiteral("select count(*), min(RDB$RECORD_VERSION), max(RDB$RECORD_VERSION) from %1 where %2")
                .arg(name, outsideOwn)
                .toStdString());
        const qint64 records = written.eof() ? 0 : written.integer(0);
        if (records == 0)
            continue;
        OthersWork::Table table{name, records, written.integer(1), written.integer(2)};
        lowest = lowest == 0 ? table.firstTransaction : std::min(lowest, table.firstTransaction);
        highest = std::max(highest, table.lastTransaction);
        work.tables.push_back(table);
    }
    if (work.tables.empty())
        return work;
    // Only a transaction still open can be traced to its attachment; a committed one has left.
    for (db::ResultSet live = connection.select(
             QStringLiteral("select distinct trim(A.MON$USER), trim(coalesce(A.MON$REMOTE_ADDRESS, '')), "
                            "trim(coalesce(A.MON$REMOTE_PROCESS, '')) from MON$TRANSACTIONS T join MON$ATTACHMENTS A "
                            "on A.MON$ATTACHMENT_ID = T.MON$ATTACHMENT_ID where T.MON$TRANSACTION_ID between %1 and %2 "
                            "and A.MON$ATTACHMENT_ID <> CURRENT_CONNECTION")
                 .arg(lowest)
                 .arg(highest)
                 .toStdString());
         !live.eof(); live.next())
        work.who.append(QStringLiteral("%1 (%2, %3)").arg(QString::fromStdString(live.text(0)),
                                                          QString::fromStdString(live.text(1)),
                                                          QString::fromStdString(live.text(2))));
    return work;
}

} // namespace update
