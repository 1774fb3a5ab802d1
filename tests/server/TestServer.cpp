#include "TestServer.h"

#include "db/Connection.h"

#include <QThread>

#include <fstream>
#include <stdexcept>

namespace testsupport::server {

std::string address(const std::string& database, const std::string& serverDir)
{
    std::ifstream file(serverDir + "/port");
    std::string port;
    if (!(file >> port))
        throw std::runtime_error("the tests' Firebird server is not running (no " + serverDir + "/port)");
    return "127.0.0.1/" + port + ":" + database;
}

void connect(db::Connection& connection, const std::string& database, const std::string& serverDir)
{
    connection.setDatabase(address(database, serverDir));
    connection.setUser("SYSDBA");
    connection.setPassword(kPassword);
}

QByteArray settingsFor(const std::string& database, const std::string& serverDir)
{
    return "[Params]\r\nAlias=" + QByteArray::fromStdString(address(database, serverDir))
        + "\r\nUser=SYSDBA\r\nPassword=" + kPassword + "\r\n";
}

void slowDown(db::Connection& connection, const std::string& table, const std::string& event, int seconds)
{
    connection.execute("create trigger TEST_SLOW_" + table + " for " + table + " before " + event
                       + " as declare variable i integer = 0; begin while (i < " + std::to_string(seconds * 3000000)
                       + ") do i = i + 1; end");
}

void waitForEntry(InstalledProgram& program, const QString& entry, int count)
{
    for (int tries = 0; tries < 6000; ++tries) {
        if (program.logEntries().count(entry) >= count)
            return;
        if (!program.stillRunningAfter(10))
            throw std::runtime_error("the program ended before it logged " + entry.left(60).toStdString());
    }
    throw std::runtime_error("the program never logged " + entry.left(60).toStdString());
}

} // namespace testsupport::server

namespace testsupport::server {

HeldLock::HeldLock(const std::string& database, const std::string& update)
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

HeldLock::~HeldLock()
{
    isql_.write("rollback;\nquit;\n");
    isql_.closeWriteChannel();
    if (!isql_.waitForFinished(30000))
        isql_.kill();
    isql_.waitForFinished(10000);
}

} // namespace testsupport::server
