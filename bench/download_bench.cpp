// A large download from a server on this machine: the program's HTTP client and downloader
// against `curl -o` fetching the same file from the same server in the same run. Reports the wall
// time of each, their ratio, and how far the download raises this process's peak memory (the
// body streams to disk, so it should not grow with the file).
//
// bench_download [MiB=1024] [rounds=3] [folder=$TMPDIR or /tmp]
//
// The server is a plain-http sendfile(2) loop on 127.0.0.1 inside this process, so that it costs
// both clients the same and never becomes the bottleneck; the program's client is allowed plain
// http to loopback only for this.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "download/Downloader.h"
#include "platform/ManualMainQueue.h"
#include "platform/curl/CurlHttpClient.h"


namespace {

namespace fs = std::filesystem;
using namespace bench;

// Serves `file` to every GET, one connection at a time, until destroyed.
class SendfileServer {
  public:
    explicit SendfileServer(fs::path file) : file_(std::move(file)) {
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
    ~SendfileServer() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/package.pkg"; }
    bool ok() const { return port_ != 0; }

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
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(fd, &info);
        const std::string header =
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
            "Connection: close\r\nContent-Length: " +
            std::to_string(info.st_size) + "\r\n\r\n";
        ::send(connection, header.data(), header.size(), MSG_NOSIGNAL);
        off_t offset = 0;
        while (offset < info.st_size) {
            if (::sendfile(connection, fd, &offset,
                           static_cast<std::size_t>(info.st_size - offset)) <= 0)
                break;
        }
        ::close(fd);
    }

    fs::path file_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// One download through the program's pieces; the main queue is run the way the tests run it.
std::optional<double> downloadWithDownloader(suite::HttpClient& client,
                                             suite::ManualMainQueue& queue, const std::string& url,
                                             const fs::path& dest, std::uint64_t size) {
    bool done = false, ok = false;
    const auto start = Clock::now();
    auto downloader = suite::Downloader::create(client, queue, {.timeoutSeconds = 30});
    downloader->onProgress = [](double) {};
    downloader->onDone = [&](std::optional<fs::path> file, std::optional<suite::DownloadError>) {
        done = true;
        ok = file.has_value();
    };
    downloader->start({{url}, dest, size, std::nullopt});
    downloader.reset();
    while (!done) {
        if (queue.runReady() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!ok) return std::nullopt;
    return seconds(start);
}

std::optional<double> downloadWithCurl(const std::string& url, const fs::path& dest) {
    return timeCommand({"curl", "-s", "-f", "-o", dest.string(), url});
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = argc > 3 ? fs::path(argv[3]) : fs::path(tmp ? tmp : "/tmp");
    const fs::path folder = base / ("talven-download-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "source.pkg";
    const fs::path ours = folder / "ours.pkg";
    const fs::path theirs = folder / "curl.pkg";
    auto cleanUp = [&] {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    };

    writeFile(source, mib << 20);
    SendfileServer server(source);
    suite::ManualMainQueue queue;
    suite::CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    suite::CurlHttpClient client(queue, options);
    if (!server.ok()) {
        std::fprintf(stderr, "no loopback server\n");
        cleanUp();
        return 1;
    }

    // Every round starts without the old file, so neither pays for truncating the last download.
    auto complete = [&](std::optional<double> took, const fs::path& file) -> std::optional<double> {
        std::error_code error;
        return fs::file_size(file, error) == (mib << 20) ? took : std::nullopt;
    };
    auto comparison = compareRounds(
        rounds,
        [&] {
            fs::remove(ours);
            return complete(downloadWithDownloader(client, queue, server.url(), ours, mib << 20),
                            ours);
        },
        [&] {
            fs::remove(theirs);
            return complete(downloadWithCurl(server.url(), theirs), theirs);
        });
    cleanUp();
    if (!comparison) {
        std::fprintf(stderr, "a download failed (is the curl command installed?)\n");
        return 1;
    }
    printTransferReport("from", mib, rounds, "Downloader (libcurl)", "curl -o", *comparison);
    return 0;
}
