#pragma once
// An HTTP proxy on 127.0.0.1 that answers CONNECT by tunnelling to one loopback port, whatever
// host was asked for, and notes each "host:port" it was asked for: proof that a request went
// through it, and where to. Every wait is bounded; the destructor ends every tunnel.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "integration/LoopbackListener.h"

namespace suite::testing {

class ConnectProxy {
  public:
    explicit ConnectProxy(int targetPort) : targetPort_(targetPort) {
        listener_ = listenOnLoopback(port_);
        if (listener_ >= 0) acceptor_ = std::thread([this] { accept(); });
    }
    ~ConnectProxy() {
        stopping_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& tunnel : tunnels_) tunnel.join();
        if (listener_ >= 0) ::close(listener_);
    }

    int port() const { return port_; }  // 0 when the listener could not be set up
    std::vector<std::string> asked() const {
        std::lock_guard lock(mutex_);
        return asked_;
    }

  private:
    static constexpr std::size_t kMostTunnels = 16;

    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        return address;
    }

    void accept() {
        while (!stopping_ && tunnels_.size() < kMostTunnels) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) tunnels_.emplace_back([this, client] { tunnel(client); });
        }
    }

    // The request head, at most 64 KiB within two seconds; empty when it did not come.
    std::string readHead(int socket) const {
        std::string head;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
               std::chrono::steady_clock::now() < limit && !stopping_) {
            pollfd ready{socket, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            char byte;  // one at a time: nothing after the head may be taken from the tunnel
            if (::recv(socket, &byte, 1, 0) != 1) return {};
            head += byte;
        }
        return head.find("\r\n\r\n") == std::string::npos ? std::string() : head;
    }

    void tunnel(int client) {
        const std::string head = readHead(client);
        const std::string verb = "CONNECT ";
        const auto end = head.find(' ', verb.size());
        if (head.rfind(verb, 0) != 0 || end == std::string::npos) {
            const std::string refusal =
                "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n";
            sendAll(client, refusal.data(), refusal.size());
            ::close(client);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(head.substr(verb.size(), end - verb.size()));
        }
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in target = loopback(targetPort_);
        const bool connected =
            server >= 0 &&
            ::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
        const std::string answer = connected ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                             : "HTTP/1.1 502 Bad Gateway\r\n\r\n";
        if (sendAll(client, answer.data(), answer.size()) && connected) relay(client, server);
        if (server >= 0) ::close(server);
        ::close(client);
    }

    // Copies both ways until either side closes, nothing moves for ten seconds, or the proxy
    // stops.
    void relay(int client, int server) const {
        char buffer[65536];
        auto quietSince = std::chrono::steady_clock::now();
        while (!stopping_ &&
               std::chrono::steady_clock::now() - quietSince < std::chrono::seconds(10)) {
            pollfd ends[] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(ends, 2, 50) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t got = ::recv(ends[i].fd, buffer, sizeof buffer, 0);
                if (got <= 0 || !sendAll(ends[1 - i].fd, buffer, static_cast<std::size_t>(got)))
                    return;
                quietSince = std::chrono::steady_clock::now();
            }
        }
    }

    const int targetPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> tunnels_;  // the acceptor's alone until it has been joined
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
};

}  // namespace suite::testing
