#include "db/Query.h"

#include "db/Connection.h"

namespace db {

std::uint64_t Query::execSql()
{
    close();
    return connection_.execute(sql_);
}

Connection::ExecutedWithRead Query::execSqlThenRead(const std::string& read)
{
    close();
    return connection_.executeThenRead(sql_, read);
}

void Query::open()
{
    close();
    rows_ = connection_.select(sql_);
    active_ = true;
}

void Query::openFirstRow()
{
    close();
    rows_ = connection_.selectFirst(sql_);
    active_ = true;
}

void Query::close()
{
    rows_ = ResultSet();
    active_ = false;
}

} // namespace db
