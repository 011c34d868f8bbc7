#pragma once
// Servers on 127.0.0.1 for the HTTP client's integration tests, and a way to drive the client's
// main queue until a transfer has finished. Every wait here is bounded.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "backends/curl/CurlHttpClient.h"
#include "platform/HttpClient.h"
#include "platform/ManualMainQueue.h"

namespace suite::testing {

using namespace std::chrono_literals;

// A listening TCP socket on 127.0.0.1 at a port the system picks (stored in `port`); -1 when
// none could be had.
inline int listenOnLoopback(int& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) ||
        ::listen(listener, 8) ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length)) {
        if (listener >= 0) ::close(listener);
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

// Sends all of `size` bytes; false when the connection ended first.
inline bool sendAll(int socket, const char* bytes, std::size_t size) {
    for (std::size_t sent = 0; sent < size;) {
        const ssize_t wrote = ::send(socket, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (wrote <= 0) return false;
        sent += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A request's head up to its blank line, at most 64 KiB within two seconds; empty when it did
// not come. One byte at a time: what follows the head stays in the socket for whoever relays it.
inline std::string readRequestHead(int socket) {
    std::string head;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!head.ends_with("\r\n\r\n") && head.size() < 65536 &&
           std::chrono::steady_clock::now() < limit) {
        pollfd ready{socket, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) continue;
        char byte;
        if (::recv(socket, &byte, 1, 0) != 1) return {};
        head += byte;
    }
    return head.ends_with("\r\n\r\n") ? head : std::string();
}

// Lets stalling handlers wait for the test to end instead of sleeping blindly, so that stopping
// a server never waits for a handler's sleep to run out.
class ReleaseGate {
  public:
    bool wait(std::chrono::milliseconds limit) {  // true when released in time
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return released_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
};

// An httplib server on an ephemeral port of 127.0.0.1, on its own thread.
// Register routes on `http()` before `start()`.
class LoopbackServer {
  public:
    LoopbackServer() {
        // A kept-alive connection holds a server thread; stop() should not wait long for it.
        server_->set_keep_alive_timeout(1);
    }
    ~LoopbackServer() {
        server_->stop();
        if (thread_.joinable()) thread_.join();
    }

    httplib::Server& http() { return *server_; }

    // False when the server could not bind or did not come up within two seconds.
    bool start() {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) return false;
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        for (const auto limit = std::chrono::steady_clock::now() + 2s; !server_->is_running();) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    std::unique_ptr<httplib::Server> server_ = std::make_unique<httplib::Server>();
    std::thread thread_;
    int port_ = 0;
};

// A bare TCP listener on 127.0.0.1 that reads each request's head and runs `script` on the
// connection (given the head), one at a time: for answers no well-behaved server library would
// give.
class RawLoopbackServer {
  public:
    using Script = std::function<void(int socket, const std::string& head, ReleaseGate& gate)>;

    explicit RawLoopbackServer(Script script) : script_(std::move(script)) {
        listener_ = listenOnLoopback(port_);
        if (listener_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~RawLoopbackServer() {
        stopping_ = true;
        gate.release();
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }

    int port() const { return port_; }  // 0 when the listener could not be set up
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_.load(); }

    ReleaseGate gate;

    static bool sendAll(int socket, const std::string& bytes) {
        return testing::sendAll(socket, bytes.data(), bytes.size());
    }

  private:
    void serve() {
        while (!stopping_) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            ++connections_;
            script_(connection, readRequestHead(connection), gate);
            ::close(connection);
        }
    }

    Script script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Everything one transfer reported, in the order it arrived on the main queue.
struct Recorded {
    std::vector<HttpProgress> progress;
    int completions = 0;
    int progressAfterCompletion = 0;
    HttpResponse response;
};

inline std::shared_ptr<HttpTransfer> startRecorded(HttpClient& client, HttpRequest request,
                                                   Recorded& recorded) {
    return client.start(
        std::move(request),
        [&recorded](const HttpProgress& p) {
            recorded.progressAfterCompletion += recorded.completions;
            recorded.progress.push_back(p);
        },
        [&recorded](HttpResponse response) {
            ++recorded.completions;
            recorded.response = std::move(response);
        });
}

// Runs the queue's tasks as they arrive until `finished` holds or `limit` of real time passed.
inline bool runUntil(ManualMainQueue& queue, const std::function<bool()>& finished,
                     std::chrono::milliseconds limit = 10s) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit;;) {
        queue.runReady();
        if (finished()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
}

// Starts `request`, waits for its completion (checking there was exactly one) and returns it.
inline HttpResponse fetch(HttpClient& client, ManualMainQueue& queue, HttpRequest request,
                          Recorded* into = nullptr, std::chrono::milliseconds limit = 10s) {
    Recorded local;
    Recorded& recorded = into ? *into : local;
    startRecorded(client, std::move(request), recorded);
    EXPECT_TRUE(runUntil(
        queue, [&] { return recorded.completions > 0; }, limit))
        << "no completion in time";
    EXPECT_EQ(recorded.completions, 1);
    return recorded.response;
}

inline HttpRequest request(std::string url, std::string method = "GET", double timeout = 10) {
    HttpRequest r;
    r.url = std::move(url);
    r.method = std::move(method);
    r.timeoutSeconds = timeout;
    return r;
}

inline CurlClientOptions loopbackOptions() {
    CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    return options;
}

}  // namespace suite::testing
