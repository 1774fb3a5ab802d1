#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testsupport::server {

// A TCP relay on a free port of 127.0.0.1 to a port of the tests' server that, once stalled,
// passes nothing more on either way while keeping its connections open: a network that stops
// answering, which no error ends.
class StallingRelay {
public:
    explicit StallingRelay(int targetPort) : target_(targetPort)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener_, 8) != 0)
            throw std::runtime_error("the relay cannot listen");
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        threads_.emplace_back([this] { acceptConnections(); });
    }
    StallingRelay(const StallingRelay&) = delete;
    StallingRelay& operator=(const StallingRelay&) = delete;
    ~StallingRelay()
    {
        ending_ = true;
        for (std::thread& thread : threads_)
            thread.join();
        for (const int socket : sockets_)
            ::close(socket);
        ::close(listener_);
    }

    int port() const { return port_; }
    void stall() { stalled_ = true; }

private:
    static sockaddr_in loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    // Only the accepting thread adds threads, and only the destructor joins them once it has ended.
    void acceptConnections()
    {
        while (!ending_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 100) <= 0)
                continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0)
                continue;
            const int server = ::socket(AF_INET, SOCK_STREAM, 0);
            const sockaddr_in address = loopback(target_);
            if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                ::close(client);
                if (server >= 0)
                    ::close(server);
                continue;
            }
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                sockets_.push_back(client);
                sockets_.push_back(server);
            }
            pumps_.emplace_back([this, client, server] { pass(client, server); });
            pumps_.emplace_back([this, client, server] { pass(server, client); });
        }
        for (std::thread& pump : pumps_)
            pump.join();
    }

    void pass(int from, int to)
    {
        char buffer[16384];
        while (!ending_) {
            pollfd waiting{from, POLLIN, 0};
            if (stalled_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            // Bytes that came while it waited stay unread once it is stalled.
            if (::poll(&waiting, 1, 100) <= 0 || stalled_)
                continue;
            const ssize_t read = ::read(from, buffer, sizeof buffer);
            if (read <= 0) {
                ::shutdown(to, SHUT_WR);
                return;
            }
            for (ssize_t sent = 0; sent < read;) {
                const ssize_t written = ::send(to, buffer + sent, static_cast<std::size_t>(read - sent), MSG_NOSIGNAL);
                if (written <= 0)
                    return;
                sent += written;
            }
        }
    }

    const int target_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stalled_{false};
    std::atomic<bool> ending_{false};
    std::mutex mutex_;
    std::vector<int> sockets_;
    std::vector<std::thread> threads_;
    std::vector<std::thread> pumps_;
};

} // namespace testsupport::server
