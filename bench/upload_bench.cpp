// A large feedback attachment sent to a server on this machine: the program's whole feedback
// chain (submit, streamed PUT with progress events, done) against `curl -T` putting the same file
// to the same server in the same run. Reports the wall time of each, their ratio, and how far the
// upload raises this process's peak memory (the file streams from disk, so it should not grow
// with the file).
//
// bench_upload [MiB=1024] [rounds=3] [folder=$TMPDIR or /tmp]
//
// The server is a plain-http loop on 127.0.0.1 inside this process that reads and discards every
// body into one buffer made before any measurement, so it costs both clients the same. The
// program's delegate runs on fake window pieces, and its client may use plain http to loopback
// only for this.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "fakes/AppHarness.h"
#include "platform/curl/CurlHttpClient.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

// Answers every request on its own connection: reads the body (after "100 Continue" when asked
// for one), counts it, and answers 200 with the feedback service's submit answer.
class SinkServer {
  public:
    SinkServer() : buffer_(1 << 20, 1) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~SinkServer() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    bool ok() const { return port_ != 0; }
    // The body length of the last PUT, cleared by asking.
    std::uint64_t takePut() { return lastPut_.exchange(0); }

  private:
    void serve() {
        while (!stopping_) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            answer(connection);
            ::close(connection);
        }
    }
    void answer(int connection) {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::recv(connection, buffer_.data(), 4096, 0);
            if (got <= 0) return;
            head.append(buffer_.data(), static_cast<std::size_t>(got));
        }
        const std::size_t end = head.find("\r\n\r\n") + 4;
        std::string lower = head.substr(0, end);
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        std::uint64_t length = 0;
        if (auto at = lower.find("\ncontent-length:"); at != std::string::npos)
            length = std::strtoull(lower.c_str() + at + 16, nullptr, 10);
        if (lower.find("\nexpect: 100-continue") != std::string::npos)
            ::send(connection, "HTTP/1.1 100 Continue\r\n\r\n", 25, MSG_NOSIGNAL);
        std::uint64_t read = head.size() - end;
        while (read < length) {
            const ssize_t got = ::recv(connection, buffer_.data(), buffer_.size(), 0);
            if (got <= 0) return;
            read += static_cast<std::uint64_t>(got);
        }
        if (head.rfind("PUT ", 0) == 0) lastPut_ = read;
        const std::string body = R"({"ok":true,"id":"bench","token":"t"})";
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
            "Connection: close\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body;
        ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    std::vector<char> buffer_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> lastPut_{0};
    std::thread thread_;
};

// One feedback with the file attached, through the delegate; the queue runs as the tests run it.
std::optional<double> uploadWithProgram(suite::fakes::AppHarness& h, const fs::path& file) {
    h.delegate->feedback().picked()["A"] = file;
    const std::size_t before = h.events().size();
    const auto start = Clock::now();
    h.delegate->sendFeedback(
        {{"type", "sendFeedback"}, {"data", {{"text", "bench"}}}, {"files", {"A"}}});
    for (;;) {
        if (h.queue.runReady() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        auto& scripts = h.window().web.scripts;
        if (scripts.size() > before && scripts.back().find("feedbackResult") != std::string::npos)
            break;
    }
    const double took = seconds(start);
    const suite::Json result = h.events().back();
    if (result["ok"] != true) return std::nullopt;
    return took;
}

std::optional<double> uploadWithCurl(const std::string& url, const fs::path& file) {
    return timeCommand({"curl", "-s", "-f", "-o", "/dev/null", "-T", file.string(), url});
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = argc > 3 ? fs::path(argv[3]) : fs::path(tmp ? tmp : "/tmp");
    const fs::path folder = base / ("talven-upload-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "recording.mov";
    auto cleanUp = [&] {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    };
    writeFile(source, mib << 20);

    SinkServer server;
    if (!server.ok()) {
        std::fprintf(stderr, "no loopback server\n");
        cleanUp();
        return 1;
    }
    suite::fakes::AppHarness h;
    suite::CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    suite::CurlHttpClient client(h.queue, options);
    h.startWith([&](suite::AppConfig& config) { config.feedbackOriginForTests = server.origin(); },
                client);

    const std::string url = server.origin() + "/api/feedback/file?id=bench&n=1&t=t";
    auto comparison = compareRounds(
        rounds,
        [&]() -> std::optional<double> {
            auto took = uploadWithProgram(h, source);
            return server.takePut() == (mib << 20) ? took : std::nullopt;
        },
        [&]() -> std::optional<double> {
            auto took = uploadWithCurl(url, source);
            return server.takePut() == (mib << 20) ? took : std::nullopt;
        });
    cleanUp();
    if (!comparison) {
        std::fprintf(stderr, "an upload failed (is the curl command installed?)\n");
        return 1;
    }
    printTransferReport("to", mib, rounds, "feedback chain", "curl -T", *comparison);
    return 0;
}
