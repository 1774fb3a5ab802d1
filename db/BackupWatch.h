#pragma once

// The watch over a running backup's gbak. Internal to db/.

#include "db/Connection.h"
#include "db/ServiceSession.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace db::detail {

// An attachment of this client's own to the database being backed up, made before the service
// starts. Through it the service's gbak can be stopped: Firebird 3 has no action to cancel a
// service, and detaching from the services manager (or the client dying) leaves the server's
// gbak writing to the end. Deleting gbak's attachment from MON$ATTACHMENTS fails its next read,
// and gbak then removes the unfinished file itself.
//
// gbak's attachment has traits no client's has: the user's own, newer than this one, collecting
// no garbage (the backup asks for that) and with neither a process id nor a process name. Another
// tool's backup has them too, so only the one attachment with them that was not there before the
// service started, and that is there once the service has said something (gbak is attached by
// then), is known to be this service's; with several, none is.
class BackupWatch {
public:
    BackupWatch(const std::string& database, const ServiceLogin& login);

    // Before the service starts: what may not be taken for its gbak.
    void noteOthers();
    // Once the service has said something.
    void identify();
    // Deletes the service's gbak attachment, if it is known; nothing else.
    void stopServiceAttachment();
    std::uint64_t transactions() const { return connection_.transactionsStarted(); }

private:
    std::vector<std::int64_t> candidates();

    Connection connection_;
    std::vector<std::int64_t> before_;
    std::optional<std::int64_t> gbak_;
    bool ambiguous_ = false;
};

// Sets up the watch before the service starts, or none when it cannot be had: the backup then
// fails a moment later with the service's own words, or runs without a way to stop it.
void watchBackupOf(std::optional<BackupWatch>& watch, const std::string& database, const ServiceLogin& login);

} // namespace db::detail
