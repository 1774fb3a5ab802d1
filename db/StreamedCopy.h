#pragma once

#include "db/ServiceBackup.h"

#include <cstdint>
#include <exception>
#include <string>

namespace db {

// The sides of a streamed copy: the backup service, this client keeping the backup (its file),
// and the restore service.
enum class StreamSide { Backup, Keeping, Restore };

// A streamed copy failed: the side that failed first, and why (an EngineError or another error).
class StreamFailed : public Error {
public:
    StreamFailed(StreamSide side, std::exception_ptr cause);
    StreamSide side() const { return side_; }
    const std::exception_ptr& cause() const { return cause_; }

private:
    StreamSide side_;
    std::exception_ptr cause_;
};

struct StreamedCopyResult {
    std::uint64_t backupBytes = 0;
    // From the start until the backup's last piece was kept; the restore ends a little later.
    std::int64_t backupMilliseconds = 0;
};

// A backup restored while it is being made: the services manager backs the database up into its
// output, and a second service of the same server restores that output into a new database at
// the same time. The backup passes through this client, which hands every piece to `keep` (to
// write the backup file) before the restore gets it.
class StreamedCopy {
public:
    StreamedCopy(ServiceBackup backup, ServiceRestore restore);

    // Makes the copy `copyFile`, a path as the server sees it, never over an existing file.
    // Throws StreamFailed naming the side that failed first: the other side is then ended too,
    // and a partial copy that this restore made is dropped. Once `stop` answers true both
    // services are ended within seconds and RestoreAbandoned is thrown (the copy may remain when
    // it says so); what `keep` got is then no backup. `ownTransactions` as ServiceBackup::run.
    StreamedCopyResult run(const std::string& copyFile, const ServiceBackup::Piece& keep,
                           const ServiceBackup::StopRequested& stop, std::uint64_t* ownTransactions = nullptr) const;

private:
    ServiceBackup backup_;
    ServiceRestore restore_;
};

} // namespace db
