#pragma once

#include "db/EngineError.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace db {

// Where the services manager of a connection string lives and what the database is called there:
// "QVT" -> embedded "service_mgr", "QVT"; "host:QVT" -> "host:service_mgr", "QVT";
// "host/3051:/data/hotel.fdb" -> "host/3051:service_mgr", "/data/hotel.fdb";
// "inet://host:3051//data/hotel.fdb" -> "inet://host:3051/service_mgr", "/data/hotel.fdb";
// "[::1]/3051:hotel" -> "[::1]/3051:service_mgr", "hotel". Drive paths ("C:\x", "C:/x") are local.
struct ServiceTarget {
    std::string host; // the server as written, empty for the embedded engine
    std::string serviceManager;
    std::string database;
    // What goes before a path to name it on that server ("host/3051:", "inet://host/"); empty
    // for the embedded engine.
    std::string serverPrefix;
};
ServiceTarget serviceTargetOf(const std::string& connectionString);

// A service abandoned on request before it ended.
class ServiceAbandoned : public Error {
public:
    ServiceAbandoned(const std::string& what, bool leftoverMayRemain) : Error(what), leftoverMayRemain_(leftoverMayRemain) {}
    // The service may have left an unfinished file: it had started and was not seen to end.
    bool leftoverMayRemain() const { return leftoverMayRemain_; }

private:
    bool leftoverMayRemain_;
};

// The backup was abandoned on request before the service ended.
class BackupAbandoned : public ServiceAbandoned {
public:
    using ServiceAbandoned::ServiceAbandoned;
    bool fileMayRemain() const { return leftoverMayRemain(); }
};

// The restore was abandoned on request before the service ended.
class RestoreAbandoned : public ServiceAbandoned {
public:
    using ServiceAbandoned::ServiceAbandoned;
    // The new database that this restore made may still be there, or appear once the server's
    // gbak has ended; false when the name was taken before the restore began.
    bool databaseMayRemain() const { return leftoverMayRemain(); }
};

// A backup made by the database engine's services manager, the service gbak uses, so it is
// consistent while others work in the database.
class ServiceBackup {
public:
    using ProgressLine = std::function<void(const std::string&)>;
    using StopRequested = std::function<bool()>;

    // `connectTimeout`: seconds the services manager may take to accept; 0 leaves it to the
    // client library.
    ServiceBackup(std::string connectionString, std::string user, std::string password, unsigned connectTimeout);
    // The same with the connection string's server already found (serviceTargetOf).
    ServiceBackup(std::string connectionString, ServiceTarget target, std::string user, std::string password,
                  unsigned connectTimeout);

    // Backs the database up into `file`, a path as the engine sees it, and returns once the
    // service has ended, with the size the service reported having written (none when it said
    // nothing of it). Each line the service reports goes to `progress`, if given. `stop` is asked
    // about once a second; when it answers true the service is abandoned and BackupAbandoned
    // thrown. Throws EngineError when the engine refuses or the backup fails, Error when the
    // client library is unusable. `ownTransactions`, if given, receives how many transactions this
    // client started on the database for the backup's sake (besides gbak's own). With neither
    // `stop` nor `ownTransactions`, gbak's is the backup's only attachment.
    std::optional<std::uint64_t> run(const std::string& file, const ProgressLine& progress,
                                     const StopRequested& stop = {}, std::uint64_t* ownTransactions = nullptr) const;

    using Piece = std::function<void(const std::string&)>;
    // Backs the database up into the service's output instead of a file on the server: every
    // piece of the backup goes to `piece` as it comes, in order, and the bytes taken are
    // returned. A piece that throws ends the backup as a stop would (without `stop` and
    // `ownTransactions` by leaving the service), and that exception is then thrown. The rest as
    // run().
    std::uint64_t stream(const Piece& piece, const StopRequested& stop = {}, std::uint64_t* ownTransactions = nullptr) const;

private:
    // `watched`: gbak's attachment is watched beside it, for a stop or for the count.
    void follow(const std::string& file, bool verbose, const Piece& output, const StopRequested& stop,
                std::uint64_t* ownTransactions, bool watched) const;

    std::string connectionString_;
    ServiceTarget target_;
    std::string user_;
    std::string password_;
    unsigned connectTimeout_;
};

// A restore by the services manager (the service gbak -c uses) of a backup into a new database
// on the server of a connection string's database.
class ServiceRestore {
public:
    using ProgressLine = ServiceBackup::ProgressLine;
    using StopRequested = ServiceBackup::StopRequested;

    ServiceRestore(std::string connectionString, std::string user, std::string password, unsigned connectTimeout);

    // Restores `backupFile` into the new database `databaseFile`, both paths as that server sees
    // them; an existing file is never replaced (the service refuses). Returns once the service
    // has ended; each line it reports goes to `progress`, if given. `stop` is asked about once a
    // second; when it answers true the restore is abandoned within seconds, the new database
    // dropped if it can be, and RestoreAbandoned thrown. Throws EngineError when the engine
    // refuses or the restore fails, Error when the service ended without bringing the database
    // online (a backup that ends early) or the client library is unusable; either way a partial
    // database that this restore made is dropped.
    void run(const std::string& backupFile, const std::string& databaseFile, const ProgressLine& progress,
             const StopRequested& stop = {}) const;

    // The next piece of the backup, at most `wanted` bytes; an empty piece ends the backup.
    using Input = std::function<std::string(std::size_t wanted)>;
    // The same from a backup that this client hands to the service piece by piece as it asks.
    // Once `stop` answers true, `input` must end the backup (an empty piece): the restore then
    // fails as on a backup cut short, and what it made is dropped. Its lines go to `progress`,
    // if given.
    void runFromStream(const std::string& databaseFile, const Input& input, const StopRequested& stop = {},
                       const ProgressLine& progress = {}) const;

    // Restores a backup that this client hands to the service piece by piece (runFromStream)
    // over the existing database `databaseFile`, which the service drops first (gbak -rep); it
    // may be shut down. Runs to its end. A restore that fails leaves the name without a whole
    // database (shut down, or none): throws as run().
    void runOverFromStream(const std::string& databaseFile, const Input& input, const ProgressLine& progress) const;

    // The page cache that a new database gets in its header (gbak -buffers) instead of the
    // server's default, for a copy of this program's own that is dropped after use. A restore
    // over an existing database never sets it: that database is the hotel's.
    void setPageBuffers(unsigned pages) { pageBuffers_ = pages; }

private:
    void restore(const std::string& backupFile, const std::string& databaseFile, const ProgressLine& progress,
                 const Input& input, const StopRequested& stop, bool replace = false) const;

    std::string connectionString_;
    std::string user_;
    std::string password_;
    unsigned connectTimeout_;
    unsigned pageBuffers_ = 0;
};

// Drops the database of the connection string when the file its engine opens for it is named
// with `fileSuffix` (an alias could lead elsewhere). Attaches without a character set, so a
// database whose restore was cut off before its character sets were restored can go too. False
// when it is not there, not so named, or the engine refuses (another attachment has it).
bool dropDatabaseOfFile(const std::string& connectionString, const std::string& fileSuffix, const std::string& user,
                        const std::string& password, unsigned connectTimeout);

// Whether a file exists on the database server of `serverPrefix` (see ServiceTarget), asked of
// the server itself by attaching to the path as a database: true when it exists, false when the
// server's system says there is no such file, nothing when the server cannot tell. Throws
// EngineError when the server cannot be reached or refuses the user, ConnectAbandoned once `stop`
// answers true while waiting for the server.
std::optional<bool> fileExistsOnServer(const std::string& serverPrefix, const std::string& path, const std::string& user,
                                       const std::string& password, unsigned connectTimeout,
                                       const std::function<bool()>& stop = {});

} // namespace db
