#include "RowDump.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

namespace testsupport {

std::string dumpRows(db::Connection& connection, const std::string& sql)
{
    db::ResultSet result = connection.select(sql);
    std::string text;
    for (; !result.eof(); result.next()) {
        for (std::size_t column = 0; column < result.columnNames().size(); ++column)
            text += (result.isNull(column) ? std::string("<null>") : result.text(column)) + "|";
        text += "\n";
    }
    return text;
}

} // namespace testsupport
