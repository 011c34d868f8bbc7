// A large download from a server on this machine: the program's HTTP client and downloader,
// checking the package against its digest, against `curl -o` fetching the same file (no digest)
// from the same server in the same run. Reports the wall time of each, their ratio, and how far
// the download raises this process's peak memory (the body streams to disk and is hashed as it
// passes, so it should not grow with the file). Then one download is cut at half its length and
// resumed by the downloader's retry: the bytes the server sent for it in all, and its memory.
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
#include "backends/curl/CurlHttpClient.h"
#include "download/Downloader.h"
#include "platform/Digest.h"
#include "platform/ManualMainQueue.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

// Serves `file` to every GET, one connection at a time, until destroyed. It names the file with
// a strong ETag and continues it from "Range: bytes=N-" while "If-Range" still names it; asked
// to, it drops the next answer's connection half-way. It counts the body bytes it sent.
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
    void cutNextAnswerHalfWay() { cutNext_ = true; }
    std::uint64_t bodyBytesSent() const { return sent_; }

  private:
    static constexpr const char* kETag = "\"bench-1\"";

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
    // Where the client asks the body to start: a plain "Range: bytes=N-" whose If-Range (if
    // any) is this file's ETag; 0 otherwise.
    static off_t rangeStart(const std::string& head) {
        const auto range = head.find("\r\nRange: bytes=");
        if (range == std::string::npos) return 0;
        const auto ifRange = head.find("\r\nIf-Range: ");
        if (ifRange != std::string::npos && head.compare(ifRange + 12, 9, kETag) != 0) return 0;
        return static_cast<off_t>(std::strtoull(head.c_str() + range + 15, nullptr, 10));
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
        off_t offset = std::min(rangeStart(head), info.st_size);
        const std::string status =
            offset > 0
                ? "206 Partial Content\r\nContent-Range: bytes " + std::to_string(offset) + "-" +
                      std::to_string(info.st_size - 1) + "/" + std::to_string(info.st_size)
                : std::string("200 OK");
        const std::string header =
            "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nETag: " + kETag +
            "\r\nConnection: close\r\nContent-Length: " + std::to_string(info.st_size - offset) +
            "\r\n\r\n";
        ::send(connection, header.data(), header.size(), MSG_NOSIGNAL);
        const off_t end = cutNext_.exchange(false) ? info.st_size / 2 : info.st_size;
        while (offset < end) {
            const off_t before = offset;
            if (::sendfile(connection, fd, &offset, static_cast<std::size_t>(end - offset)) <= 0)
                break;
            sent_ += static_cast<std::uint64_t>(offset - before);
        }
        ::close(fd);
    }

    fs::path file_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> cutNext_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

// One download through the program's pieces; the main queue is run the way the tests run it.
// A retry after a dropped connection follows at once.
std::optional<double> downloadWithDownloader(suite::HttpClient& client,
                                             suite::ManualMainQueue& queue, const std::string& url,
                                             const fs::path& dest, std::uint64_t size,
                                             const std::string& sha256) {
    bool done = false, ok = false;
    const auto start = Clock::now();
    auto downloader = suite::Downloader::create(
        client, queue, {.timeoutSeconds = 30, .retryDelays = {0}, .userAgent = "bench"});
    downloader->onProgress = [](double) {};
    downloader->onDone = [&](suite::DownloadResult result) {
        done = true;
        ok = result.has_value();
    };
    downloader->start({{url}, dest, size, sha256});
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
    const auto sha256 = suite::sha256Of(source);
    SendfileServer server(source);
    suite::ManualMainQueue queue;
    suite::CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    suite::CurlHttpClient client(queue, options);
    if (!server.ok() || !sha256) {
        std::fprintf(stderr, "no loopback server or no digest of the package\n");
        cleanUp();
        return 1;
    }
    auto ourDownload = [&]() -> std::optional<double> {
        fs::remove(ours);
        auto took = downloadWithDownloader(client, queue, server.url(), ours, mib << 20, *sha256);
        std::error_code error;
        return fs::file_size(ours, error) == (mib << 20) ? took : std::nullopt;
    };

    // Every round starts without the old file, so neither pays for truncating the last download.
    auto comparison = compareRounds(rounds, ourDownload, [&]() -> std::optional<double> {
        fs::remove(theirs);
        auto took = downloadWithCurl(server.url(), theirs);
        std::error_code error;
        return fs::file_size(theirs, error) == (mib << 20) ? took : std::nullopt;
    });
    if (!comparison) {
        std::fprintf(stderr, "a download failed (is the curl command installed?)\n");
        cleanUp();
        return 1;
    }
    printTransferReport("from", mib, rounds, "Downloader + digest", "curl -o (no digest)",
                        *comparison, 1.05);

    const std::uint64_t sentBefore = server.bodyBytesSent();
    server.cutNextAnswerHalfWay();
    const long rssBefore = statusKiB("VmRSS");
    resetPeak();
    const auto resumed = ourDownload();
    const long growthKiB = statusKiB("VmHWM") - rssBefore;
    const double fetched = static_cast<double>(server.bodyBytesSent() - sentBefore);
    cleanUp();
    if (!resumed) {
        std::fprintf(stderr, "the cut download did not complete\n");
        return 1;
    }
    std::printf(
        "cut at 50 %%, resumed  %.3f s, %.4f GiB fetched in all (target <= 1.02 GiB for 1 GiB)\n",
        *resumed, fetched / (1 << 30));
    std::printf("fetched / file size  %.4f\n", fetched / static_cast<double>(mib << 20));
    std::printf("peak RSS growth      %.2f MiB (target <= 16 MiB)\n",
                static_cast<double>(growthKiB) / 1024.0);
    return 0;
}
