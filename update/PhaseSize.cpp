#include "update/PhaseSize.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/Query.h"

#include <QString>

namespace update {

qint64 databaseBytes(db::Connection& connection)
{
    if (!connection.isOpen())
        return 0;
    try {
        db::Query query(connection);
        query.setSql("select MON$PAGES * MON$PAGE_SIZE from MON$DATABASE");
        query.openFirstRow();
        // In dialect 1 the product is a double: read as text, whatever type it comes as.
        const qint64 bytes = query.eof() ? 0 : static_cast<qint64>(QString::fromStdString(query.fieldText(0)).toDouble());
        query.close();
        return bytes;
    } catch (const db::EngineError&) {
        // Only the progress shown depends on it: the phase says its total is unknown.
        return 0;
    }
}

} // namespace update
