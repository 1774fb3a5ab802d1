#include "db/ResultSet.h"

#include "db/EngineError.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace db {

namespace {

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::toupper(x) == std::toupper(y);
    });
}

std::int64_t toInteger(const std::string& text)
{
    std::int64_t value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (text.empty() || error != std::errc() || stop != end)
        throw Error("'" + text + "' is not a valid integer value");
    return value;
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
    return toInteger(text(column));
}

std::int64_t ResultSet::integer(const std::string& columnName) const
{
    return integer(indexOf(columnName));
}

} // namespace db
