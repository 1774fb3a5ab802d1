#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace db {

// The one reading of a value from the database as a whole number: decimal digits with an
// optional sign, between blanks at most (a CHAR column's padding); no fraction, nothing else.
// nullopt for anything else, NULL's empty text included.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);

} // namespace db
