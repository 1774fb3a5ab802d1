#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace db {

// Another attachment holds the database-wide claim of Connection::claim(). `holder` describes it
// as the monitoring tables do (id, user, address, process, since when), as the other client set
// them; empty when it could not be read.
class DatabaseBusy : public std::runtime_error {
public:
    explicit DatabaseBusy(const std::string& what, std::string holder = {})
        : std::runtime_error(what), holder_(std::move(holder))
    {
    }
    const std::string& holder() const { return holder_; }

private:
    std::string holder_;
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
