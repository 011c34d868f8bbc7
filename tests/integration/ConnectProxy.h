#pragma once
// An HTTP proxy on 127.0.0.1 that answers CONNECT by tunnelling to one loopback port, whatever
// host was asked for, and notes each "host:port" it was asked for: proof that a request went
// through it, and where to. One tunnel at a time, each bounded; the proxy's end ends it.
#include <mutex>
#include <string>
#include <vector>

#include "integration/LoopbackServer.h"

namespace suite::testing {

class ConnectProxy {
  public:
    explicit ConnectProxy(int targetPort)
        : targetPort_(targetPort),
          server_([this](int client, const std::string& head, ReleaseGate& gate) {
              tunnel(client, head, gate);
          }) {}

    int port() const { return server_.port(); }  // 0 when the listener could not be set up
    std::vector<std::string> asked() const {
        std::lock_guard lock(mutex_);
        return asked_;
    }

  private:
    void tunnel(int client, const std::string& head, ReleaseGate& gate) {
        const std::string verb = "CONNECT ";
        const auto end = head.find(' ', verb.size());
        if (!head.starts_with(verb) || end == std::string::npos) return;
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(head.substr(verb.size(), end - verb.size()));
        }
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
        const bool connected =
            server >= 0 &&
            ::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
        const std::string answer = connected ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                             : "HTTP/1.1 502 Bad Gateway\r\n\r\n";
        if (RawLoopbackServer::sendAll(client, answer) && connected) relay(client, server, gate);
        if (server >= 0) ::close(server);
    }

    // Copies both ways until either side closes, nothing moves for ten seconds, or the proxy
    // stops.
    static void relay(int client, int server, ReleaseGate& gate) {
        char buffer[65536];
        auto quietSince = std::chrono::steady_clock::now();
        while (!gate.wait(0ms) &&
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
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
    RawLoopbackServer server_;  // last: it stops, and ends the tunnel, before the rest goes
};

}  // namespace suite::testing
