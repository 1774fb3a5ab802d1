#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace db {

// The rows of one statement's result, read as text (NULL as an empty text) once the statement
// has been committed. A cursor walks it: end-of-data, next, fields by position or name.
class ResultSet {
public:
    ResultSet() = default;
    ResultSet(std::vector<std::string> columnNames, std::vector<std::vector<std::optional<std::string>>> rows);

    bool eof() const { return current_ >= rows_.size(); }
    void next();
    std::size_t rowCount() const { return rows_.size(); }
    const std::vector<std::string>& columnNames() const { return columnNames_; }

    // Field of the current row. Past the end, every field reads as NULL.
    std::string text(std::size_t column) const;
    std::string text(const std::string& columnName) const;
    bool isNull(std::size_t column) const;
    // Throws db::Error when the text is not a whole number.
    std::int64_t integer(std::size_t column) const;
    std::int64_t integer(const std::string& columnName) const;

    // For a statement that returns no rows: the rows it changed.
    std::uint64_t changedRows() const { return changedRows_; }
    void setChangedRows(std::uint64_t rows) { changedRows_ = rows; }

private:
    std::size_t indexOf(const std::string& columnName) const;
    const std::optional<std::string>* field(std::size_t column) const;

    std::vector<std::string> columnNames_;
    std::vector<std::vector<std::optional<std::string>>> rows_;
    std::size_t current_ = 0;
    std::uint64_t changedRows_ = 0;
};

} // namespace db
