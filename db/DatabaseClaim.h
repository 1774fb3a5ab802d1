#pragma once

#include <stdexcept>

namespace db {

// Another attachment holds the database-wide claim of Connection::claim().
class DatabaseBusy : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The claim's own statements were refused (not the connection): whether another instance runs
// cannot be told, so nothing may be sent. The engine's message says why.
class ClaimUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The session context variable that marks an attachment whose program runs an update. Other
// instances, older or newer, look for exactly this name.
inline constexpr const char* kClaimMark = "DPH2012_RUN";

} // namespace db
