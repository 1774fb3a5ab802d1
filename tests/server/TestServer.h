#pragma once

#include "InstalledProgram.h"

#include <QString>

#include <string>

namespace db {
class Connection;
}

namespace testsupport {

// The Firebird server that the fixture started for this test run.
namespace server {

inline constexpr const char* kPassword = "serverkey"; // SYSDBA's on the tests' own server
inline const std::string kAliasDatabase = std::string(SERVER_DIR) + "/databases/alias_hotel.fdb";

// "127.0.0.1/<port>:<database>", a connection string through the server.
std::string address(const std::string& database, const std::string& serverDir = SERVER_DIR);
// A connection as SYSDBA through the server.
void connect(db::Connection& connection, const std::string& database, const std::string& serverDir = SERVER_DIR);
// Settings naming the database through the server, as SYSDBA.
QByteArray settingsFor(const std::string& database, const std::string& serverDir = SERVER_DIR);

// A statement that takes about a second of the server's time per row it touches: keeps the
// program inside that statement while a test acts.
void slowDown(db::Connection& connection, const std::string& table, const std::string& event, int seconds);

// Waits until the program has logged the entry `count` times (the log grows across runs).
void waitForEntry(InstalledProgram& program, const QString& entry, int count = 1);

} // namespace server
} // namespace testsupport

namespace testsupport::server {

// A transaction of another attachment (an isql process) that has updated rows and holds their
// locks until the object goes.
class HeldLock {
public:
    HeldLock(const std::string& database, const std::string& update);
    ~HeldLock();
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    QProcess isql_;
};

} // namespace testsupport::server
