#pragma once

#include "InstalledProgram.h"

#include "db/Connection.h"

#include <QString>

#include <fstream>
#include <stdexcept>
#include <string>

// The Firebird server that the fixture started for this test run.
namespace testsupport::server {

inline constexpr const char* kPassword = "serverkey"; // SYSDBA's on the tests' own server
inline const std::string kAliasDatabase = std::string(SERVER_DIR) + "/databases/alias_hotel.fdb";
// The file of the alias HOTEL_WAYBACK, in a folder of its own for what the way back keeps beside it.
inline const std::string kWayBackAliasDatabase = std::string(SERVER_DIR) + "/databases/wayback/hotel.fdb";
inline const QString kStep1 = QStringLiteral(
    "EXEC SQL       | update pos_taxes set pos_taxes.percentage = 14 where pos_taxes.percentage = 10");

// "127.0.0.1/<port>:<database>", a connection string through the server.
inline std::string address(const std::string& database, const std::string& serverDir = SERVER_DIR)
{
    std::ifstream file(serverDir + "/port");
    std::string port;
    if (!(file >> port))
        throw std::runtime_error("the tests' Firebird server is not running (no " + serverDir + "/port)");
    return "127.0.0.1/" + port + ":" + database;
}

// A connection as SYSDBA through the server.
inline void connect(db::Connection& connection, const std::string& database, const std::string& serverDir = SERVER_DIR)
{
    connection.setDatabase(address(database, serverDir));
    connection.setUser("SYSDBA");
    connection.setPassword(kPassword);
}

// Settings naming the database through the server, as SYSDBA.
inline QByteArray settingsFor(const std::string& database, const std::string& serverDir = SERVER_DIR)
{
    return "[Params]\r\nAlias=" + QByteArray::fromStdString(address(database, serverDir))
        + "\r\nUser=SYSDBA\r\nPassword=" + kPassword + "\r\n";
}

// A trigger that takes about a second of the server's time per row it touches: keeps the
// program inside that statement while a test acts.
inline void slowDown(db::Connection& connection, const std::string& table, const std::string& event, int seconds)
{
    connection.execute("create trigger TEST_SLOW_" + table + " for " + table + " before " + event
                       + " as declare variable i integer = 0; begin while (i < " + std::to_string(seconds * 3000000)
                       + ") do i = i + 1; end");
}

// Waits until the program has logged the entry `count` times (the log grows across runs).
inline void waitForEntry(InstalledProgram& program, const QString& entry, int count = 1)
{
    for (int tries = 0; tries < 6000; ++tries) {
        if (program.logEntries().count(entry) >= count)
            return;
        if (!program.stillRunningAfter(10))
            throw std::runtime_error("the program ended before it logged " + entry.left(60).toStdString());
    }
    throw std::runtime_error("the program never logged " + entry.left(60).toStdString());
}

// What a hotel client's strictest ordinary read of RDB$DATABASE (READ COMMITTED NO RECORD_VERSION
// NO WAIT, through isql) says when it fails; empty when it read its rows.
inline QString readWithoutRecordVersions(const std::string& database)
{
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                           QStringLiteral("-password"), QString::fromLatin1(kPassword),
                                           QString::fromStdString(address(database))});
    isql.write("set transaction read committed no record_version no wait;\n"
               "select 'READ' || 'OK' from rdb$database;\n"
               "select current_timestamp from rdb$database;\ncommit;\nquit;\n");
    isql.closeWriteChannel();
    if (!isql.waitForFinished(60000))
        return QStringLiteral("isql-fb did not end");
    const QString output = QString::fromLocal8Bit(isql.readAll());
    return output.contains(QStringLiteral("READOK")) && !output.contains(QStringLiteral("Statement failed")) ? QString()
                                                                                                           : output;
}

// A transaction of another attachment (an isql process) that has updated rows and holds their
// locks until the object goes.
class HeldLock {
public:
    HeldLock(const std::string& database, const std::string& update)
    {
        isql_.setProcessChannelMode(QProcess::MergedChannels);
        isql_.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                               QStringLiteral("-password"), QString::fromLatin1(kPassword),
                                               QString::fromStdString(address(database))});
        if (!isql_.waitForStarted(30000))
            throw std::runtime_error("isql-fb did not start");
        isql_.write(QByteArray::fromStdString(update) + ";\nselect 'LOCK' || 'HELD' from rdb$database;\n");
        QByteArray output;
        while (!output.contains("LOCKHELD")) {
            if (!isql_.waitForReadyRead(60000))
                throw std::runtime_error("isql-fb did not take the lock: " + output.toStdString());
            output += isql_.readAll();
        }
    }
    ~HeldLock()
    {
        isql_.write("rollback;\nquit;\n");
        isql_.closeWriteChannel();
        if (!isql_.waitForFinished(30000))
            isql_.kill();
        isql_.waitForFinished(10000);
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    QProcess isql_;
};

} // namespace testsupport::server
