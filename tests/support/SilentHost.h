#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

// A listening socket on 127.0.0.1 that nobody accepts on: the kernel completes the handshake,
// then nothing is ever said.
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
    ~SilentHost() { ::close(socket); }
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;

    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

} // namespace testsupport
