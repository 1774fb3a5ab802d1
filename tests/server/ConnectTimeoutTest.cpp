// A host that accepts TCP and never answers: connecting gives up after the timeout.

#include "db/Connection.h"
#include "db/EngineError.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace {

// A listening socket on 127.0.0.1 that nobody accepts on: the kernel completes the handshake,
// then nothing is ever said.
class SilentHost {
public:
    SilentHost() : socket_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(socket_, 8) != 0 || ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
    }
    ~SilentHost() { ::close(socket_); }
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;

    int port() const { return port_; }

private:
    int socket_;
    int port_ = 0;
};

TEST(ConnectTimeout, OpeningAndEveryLaterAttemptFailAsEngineErrorsInsteadOfHanging)
{
    const SilentHost host;
    db::Connection connection;
    connection.setDatabase("127.0.0.1/" + std::to_string(host.port()) + ":hotel");
    connection.setUser("SYSDBA");
    connection.setPassword("x");
    connection.setConnectTimeout(1);
    EXPECT_THROW(connection.open(), db::EngineError);
    EXPECT_FALSE(connection.isOpen());
    EXPECT_THROW(connection.execute("select 1 from rdb$database"), db::EngineError) << "a statement reconnects, bounded";
}

} // namespace
