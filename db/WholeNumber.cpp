#include "db/WholeNumber.h"

#include <charconv>

namespace db {

std::optional<std::int64_t> parseWholeNumber(std::string_view text)
{
    // A CHAR column comes padded with blanks; the number is what stands between them.
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    text = first == std::string_view::npos ? std::string_view() : text.substr(first, text.find_last_not_of(blanks) + 1 - first);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace db
