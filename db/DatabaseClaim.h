#pragma once

#include <stdexcept>

namespace db {

// Another attachment holds the database-wide claim of Connection::claim().
class DatabaseBusy : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace db
