#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace testsupport {

// A listening socket on 127.0.0.1 that never says anything: the kernel completes the handshake,
// then the client waits for an answer that does not come.
struct SilentHost {
    SilentHost()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket, 8) != 0
            || ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port = ntohs(address.sin_port);
    }
    ~SilentHost()
    {
        if (accepted >= 0)
            ::close(accepted);
        ::close(socket);
    }
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;

    // "127.0.0.1/<port>:<database>"
    std::string address(const std::string& database = "hotel") const
    {
        return "127.0.0.1/" + std::to_string(port) + ":" + database;
    }
    // True once a client has come knocking, within the milliseconds given; the connection is
    // kept open and silent.
    bool clientArrives(int milliseconds)
    {
        pollfd waiting{socket, POLLIN, 0};
        if (::poll(&waiting, 1, milliseconds) != 1)
            return false;
        const int client = ::accept(socket, nullptr, nullptr);
        if (client < 0)
            return false;
        if (accepted >= 0)
            ::close(accepted);
        accepted = client;
        return true;
    }

    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    int accepted = -1;
};

} // namespace testsupport
