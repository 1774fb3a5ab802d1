#include "db/Query.h"

#include "db/Connection.h"

namespace db {

void Query::execSql()
{
    close();
    connection_.execute(sql_);
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
