#pragma once

#include <functional>
#include <string>

namespace db {

// Where the services manager of a connection string lives and what the database is called there:
// "QVT" -> embedded "service_mgr", "QVT"; "host:QVT" -> "host:service_mgr", "QVT";
// "host/3051:/data/hotel.fdb" -> "host/3051:service_mgr", "/data/hotel.fdb".
struct ServiceTarget {
    std::string host; // empty for the embedded engine
    std::string serviceManager;
    std::string database;
};
ServiceTarget serviceTargetOf(const std::string& connectionString);

// A backup made by the database engine's services manager, the service gbak uses, so it is
// consistent while others work in the database.
class ServiceBackup {
public:
    using ProgressLine = std::function<void(const std::string&)>;

    ServiceBackup(std::string connectionString, std::string user, std::string password);

    // Backs the database up into `file`, a path as the engine sees it, and returns once the service
    // has finished; each line the service reports goes to `progress`. Without `progress` the
    // service reports nothing, which is cheaper. Throws EngineError when the engine refuses or the
    // backup fails, Error when the client library is unusable.
    void run(const std::string& file, const ProgressLine& progress) const;

private:
    std::string connectionString_;
    std::string user_;
    std::string password_;
};

} // namespace db
