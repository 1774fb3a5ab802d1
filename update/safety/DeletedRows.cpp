#include "update/safety/DeletedRows.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QRegularExpression>

#include <algorithm>
#include <exception>
#include <iterator>
#include <set>
#include <string>
#include <utility>

namespace update {

namespace {

// Tables of the hotel's own (not the engine's, not views, not temporary or external ones).
const char* const kTables = "select trim(RDB$RELATION_NAME) from RDB$RELATIONS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 "
                            "and RDB$VIEW_BLR is null and coalesce(RDB$RELATION_TYPE, 0) = 0 order by 1";

// The semaphore table holds only this program's marks while it works.
const QString kProgramsTable = QStringLiteral("TMP_SEM_TABLESYNCH");

// The rows of the backup's state this program itself may delete, left out of the comparison: the
// checks' lines its trigger marks, and the stay lines under a reservation number handed out after
// the backup (the stay split deletes under the fresh number it takes).
QString programsOwnLeftOut(const QString& table)
{
    if (table == QLatin1String("REC_CHECKDTL"))
        return QStringLiteral(" where coalesce(SYSINFO, '') not like '%DPH 2011/2012 #%'");
    if (table == QLatin1String("REC_MM_REZDET"))
        return QStringLiteral(" where CISLOREZERVACE is null or CISLOREZERVACE <= gen_id(REC_MM_REZERVACE, 0)");
    return {};
}

// A column of a table without a primary key that this program itself changes (the rates its
// statements move, in a hotel whose tables lack keys such as the point-of-sale taxes): its rows
// are compared without it.
bool programsOwnColumn(const QString& table, const QString& column)
{
    static const std::set<std::pair<QString, QString>> moved = {
        {QStringLiteral("POS_TAXES"), QStringLiteral("PERCENTAGE")},
        {QStringLiteral("CISSLUZ"), QStringLiteral("DPH")},
        {QStringLiteral("QVT_KONFIG"), QStringLiteral("HODNOTACZ")},
        {QStringLiteral("REC_MM_REZDET"), QStringLiteral("DPH")},
        {QStringLiteral("FBS_STOCK_ITM"), QStringLiteral("ID_VAT")},
        {QStringLiteral("FBS_PROD_LIST_ITM"), QStringLiteral("VAT")},
        {QStringLiteral("FBS_PROD_LIST_ITM_R"), QStringLiteral("VAT")},
        {QStringLiteral("FBS_PROD_LISTS_R"), QStringLiteral("VAT")},
        {QStringLiteral("FBS_PROD_PROCS_R"), QStringLiteral("VAT")},
        {QStringLiteral("FBS_PROD_ITEMS_R"), QStringLiteral("VAT")},
    };
    return moved.contains({table, column});
}

QStringList names(db::Connection& connection, const QString& sql)
{
    QStringList found;
    for (db::ResultSet rows = connection.select(sql.toStdString()); !rows.eof(); rows.next())
        found.append(QString::fromStdString(rows.text(0)));
    return found;
}

// The table's primary key columns; where it has none, its every column but those this program changes.
QStringList keyColumns(db::Connection& connection, const QString& table)
{
    const QStringList key = names(connection, QStringLiteral("select trim(S.RDB$FIELD_NAME) from RDB$RELATION_CONSTRAINTS C "
                                                             "join RDB$INDEX_SEGMENTS S on S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                                                             "where C.RDB$RELATION_NAME = '%1' and C.RDB$CONSTRAINT_TYPE = "
                                                             "'PRIMARY KEY' order by S.RDB$FIELD_POSITION")
                                                  .arg(table));
    if (!key.isEmpty())
        return key;
    QStringList row = names(connection, QStringLiteral("select trim(R.RDB$FIELD_NAME) from RDB$RELATION_FIELDS R join "
                                                       "RDB$FIELDS F on F.RDB$FIELD_NAME = R.RDB$FIELD_SOURCE where "
                                                       "R.RDB$RELATION_NAME = '%1' and F.RDB$COMPUTED_BLR is null order by "
                                                       "R.RDB$FIELD_POSITION")
                                            .arg(table));
    row.removeIf([&table](const QString& column) { return programsOwnColumn(table, column); });
    return row;
}

// Each row's key as one text, sorted; a NULL is told apart from an empty text.
std::vector<std::string> keysOf(db::Connection& connection, const QString& sql, std::size_t columns)
{
    std::vector<std::string> keys;
    db::ResultSet rows = connection.select(sql.toStdString());
    keys.reserve(rows.rowCount());
    for (; !rows.eof(); rows.next()) {
        std::string key;
        for (std::size_t column = 0; column < columns; ++column)
            key += (rows.isNull(column) ? std::string("\x1e") : rows.text(column)) + '\x1f';
        keys.push_back(std::move(key));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace

QString DeletedRows::text() const
{
    QStringList parts;
    for (const Table& table : tables)
        parts.append(QStringLiteral("%1 %2 radku").arg(table.name).arg(table.rows));
    return parts.join(QStringLiteral("; "));
}

DeletedRows deletedSinceBackup(db::Connection& backupState, db::Connection& today)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Z][A-Z0-9_$]*$"));
    DeletedRows deleted;
    for (const QString& table : names(backupState, QString::fromLatin1(kTables))) {
        if (table == kProgramsTable)
            continue;
        try {
            const QStringList columns = keyColumns(backupState, table);
            const bool plain = plainName.match(table).hasMatch()
                && std::all_of(columns.begin(), columns.end(),
                               [](const QString& column) { return plainName.match(column).hasMatch(); });
            if (columns.isEmpty() || !plain) {
                deleted.unseen.append(QStringLiteral("%1 (nazvy, ktere nelze napsat)").arg(table));
                continue;
            }
            const QString select = QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), table);
            const std::vector<std::string> then =
                keysOf(backupState, select + programsOwnLeftOut(table), static_cast<std::size_t>(columns.size()));
            const std::vector<std::string> now = keysOf(today, select, static_cast<std::size_t>(columns.size()));
            std::vector<std::string> gone;
            std::set_difference(then.begin(), then.end(), now.begin(), now.end(), std::back_inserter(gone));
            if (!gone.empty())
                deleted.tables.push_back({table, static_cast<qint64>(gone.size())});
        } catch (const std::exception& error) {
            deleted.unseen.append(QStringLiteral("%1 (%2)").arg(table, QString::fromLocal8Bit(error.what()).simplified()));
        }
    }
    return deleted;
}

} // namespace update
