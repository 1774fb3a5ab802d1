#include "db/ResultSet.h"

#include "db/EngineError.h"
#include "db/WholeNumber.h"

#include <algorithm>
#include <cctype>

namespace db {

namespace {

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::toupper(x) == std::toupper(y);
    });
}

} // namespace

ResultSet::ResultSet(std::vector<std::string> columnNames, std::vector<std::vector<std::optional<std::string>>> rows)
    : columnNames_(std::move(columnNames)), rows_(std::move(rows))
{
}

void ResultSet::next()
{
    if (!eof())
        ++current_;
}

const std::optional<std::string>* ResultSet::field(std::size_t column) const
{
    if (column >= columnNames_.size())
        throw Error("no field number " + std::to_string(column));
    if (eof())
        return nullptr;
    return &rows_[current_][column];
}

std::size_t ResultSet::indexOf(const std::string& columnName) const
{
    for (std::size_t i = 0; i < columnNames_.size(); ++i)
        if (sameName(columnNames_[i], columnName))
            return i;
    throw Error("field '" + columnName + "' not found");
}

std::string ResultSet::text(std::size_t column) const
{
    const auto* value = field(column);
    return value && *value ? **value : std::string();
}

std::string ResultSet::text(const std::string& columnName) const
{
    return text(indexOf(columnName));
}

bool ResultSet::isNull(std::size_t column) const
{
    const auto* value = field(column);
    return !value || !*value;
}

std::int64_t ResultSet::integer(std::size_t column) const
{
    const std::string value = text(column);
    if (const std::optional<std::int64_t> number = parseWholeNumber(value))
        return *number;
    throw Error("'" + value + "' is not a valid integer value");
}

std::int64_t ResultSet::integer(const std::string& columnName) const
{
    return integer(indexOf(columnName));
}

} // namespace db
