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

    void accept() {
        while (!stopping_ && tunnels_.size() < kMostTunnels) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) tunnels_.emplace_back([this, client] { tunnel(client); });
        }
    }

    void tunnel(int client) {
        const std::string head = readRequestHead(client);
        const std::string verb = "CONNECT ";
        const auto end = head.find(' ', verb.size());
        int server = -1;
        if (head.starts_with(verb) && end != std::string::npos) {
            {
                std::lock_guard lock(mutex_);
                asked_.push_back(head.substr(verb.size(), end - verb.size()));
            }
            server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in target{};
            target.sin_family = AF_INET;
            target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            target.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
            const bool connected =
                server >= 0 &&
                ::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
            const std::string answer = connected ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                                 : "HTTP/1.1 502 Bad Gateway\r\n\r\n";
            if (sendAll(client, answer.data(), answer.size()) && connected) relay(client, server);
        }
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
