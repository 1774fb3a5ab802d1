#pragma once

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <string>

namespace db {

// A statement object bound to a connection: its text is replaced, then executed or opened.
// The text is sent as it stands; names with a leading colon are not parameters.
class Query {
public:
    explicit Query(Connection& connection) : connection_(connection) {}

    void setSql(const std::string& sql) { sql_ = sql; }
    const std::string& sql() const { return sql_; }

    // The rows the statement changed.
    std::uint64_t execSql();
    // Executes, then reads `read` in the statement's own transaction (Connection::executeThenRead).
    Connection::ExecutedWithRead execSqlThenRead(const std::string& read);
    void open();
    // Opens the result with its first row only; the cursor is closed after that one fetch.
    void openFirstRow();
    void close();
    bool isActive() const { return active_; }

    // The open result; empty when the query is closed.
    bool eof() const { return rows_.eof(); }
    // The rows of the open result, fetched when it was opened.
    std::size_t rowCount() const { return rows_.rowCount(); }
    void next() { rows_.next(); }
    std::string fieldText(std::size_t column) const { return rows_.text(column); }
    std::string fieldText(const std::string& name) const { return rows_.text(name); }
    std::int64_t fieldInteger(std::size_t column) const { return rows_.integer(column); }
    std::int64_t fieldInteger(const std::string& name) const { return rows_.integer(name); }

private:
    Connection& connection_;
    std::string sql_;
    ResultSet rows_;
    bool active_ = false;
};

} // namespace db
