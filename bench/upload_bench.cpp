// A large feedback attachment sent to a server on this machine: the program's whole feedback
// chain (submit, streamed PUT with progress events, done) against `curl -T` putting the same file
// to the same server in the same run. Reports the wall time of each, their ratio, and how far the
// upload raises this process's peak memory (the file streams from disk, so it should not grow
// with the file).
//
// bench_upload [MiB=1024] [rounds=3] [folder=$TMPDIR or /tmp]
//
// The server is a plain-http loop on 127.0.0.1 in a process of its own (so its work never counts
// against the program's process, nor competes with it for that process's scheduling) that reads
// and discards every body into one buffer made before any measurement, so it costs both clients
// the same. The
// program's delegate runs on fake window pieces, and its client may use plain http to loopback
// only for this.
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "backends/curl/CurlHttpClient.h"
#include "fakes/AppHarness.h"

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
        int reports[2];
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::pipe2(reports, O_CLOEXEC) != 0) {
            return;
        }
        // Forked before the program's client starts any thread.
        child_ = ::fork();
        if (child_ == 0) {
            ::close(reports[0]);
            reports_ = reports[1];
            for (;;) serve();
        }
        ::close(reports[1]);
        ::close(listener_);
        reports_ = reports[0];
        ::fcntl(reports_, F_SETFL, O_NONBLOCK);
        if (child_ > 0) port_ = ntohs(address.sin_port);
    }
    ~SinkServer() {
        if (child_ > 0) {
            ::kill(child_, SIGTERM);
            ::waitpid(child_, nullptr, 0);
        }
        ::close(reports_);
    }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    bool ok() const { return port_ != 0; }
    // The body length of the last PUT since the last asking, 0 when there was none. The server
    // reports it before it answers, so it is in once the client has its answer.
    std::uint64_t takePut() {
        std::uint64_t length = 0, last = 0;
        while (::read(reports_, &length, sizeof length) == sizeof length) last = length;
        return last;
    }

  private:
    void serve() {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) return;
        answer(connection);
        ::close(connection);
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
        if (head.rfind("PUT ", 0) == 0 && ::write(reports_, &read, sizeof read) != sizeof read)
            return;
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
    pid_t child_ = -1;
    int reports_ = -1;  // PUT body lengths, from the server to the bench
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
