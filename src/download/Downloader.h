#pragma once
// Downloads one file from one address to one destination on the shared HTTP client, reporting
// throttled percentages while it runs and exactly one outcome at the end. Every callback runs on
// the main queue.
//
// The body streams into a private temporary file beside the destination and is renamed over it
// only when the whole answer arrived with an acceptable status, so a failed, cancelled or
// interrupted transfer never leaves a partial file under the destination's name and never touches
// a file already there.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/HttpClient.h"
#include "platform/MainQueue.h"

namespace suite {

// Why a download has no file. Nothing here reaches the page beyond "it failed"; the domain and
// code exist for logs and tests.
struct DownloadError {
    static constexpr const char* kHttp = "http";            // code: the HTTP status
    static constexpr const char* kTransport = "transport";  // code: the TransportError
    static constexpr const char* kFile = "file";            // code: the errno of the file step
    static constexpr const char* kSize = "size";            // the answer ran past the expected size

    std::string domain;
    int code = 0;
    std::string message;
};

// Seconds on some steady clock; only differences matter.
using Clock = std::function<double()>;
double steadySeconds();

class Downloader final : public std::enable_shared_from_this<Downloader> {
  public:
    static constexpr double kProgressInterval = 0.15;
    // How far past its expected size a download may run before it is stopped: a package whose
    // size the catalog understates a little still arrives (its digest vouches for it), and a
    // server that sends on and on costs the disk no more than this.
    static constexpr std::uint64_t kSizeMargin = 1 << 20;

    // `timeoutSeconds` is the time allowed without any data arriving, not a cap on the transfer.
    // `now` drives the progress throttle (tests pass their queue's virtual clock).
    static std::shared_ptr<Downloader> create(HttpClient& http, MainQueue& queue,
                                              double timeoutSeconds, Clock now = steadySeconds);

    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // The percentage of the body received, above 0 up to 100, unrounded; at most once per
    // `kProgressInterval`, the first with the first data, and never when the server did not say
    // how long the body is. The last report may be below 100.
    std::function<void(double pct)> onProgress;
    // Called once per `start`: the destination, or the reason there is none.
    std::function<void(std::optional<std::filesystem::path> file,
                       std::optional<DownloadError> error)>
        onDone;

    // Starts the transfer of a file of `size` bytes and returns at once. The transfer is stopped
    // once more than `size` + kSizeMargin bytes arrived, and given up after ceilingForBytes(size)
    // in all. The downloader keeps itself alive until `onDone` has run, so the owner may drop it
    // earlier. A downloader serves one transfer; later calls are ignored.
    void start(const std::string& url, const std::filesystem::path& dest, std::uint64_t size);

  private:
    Downloader(HttpClient& http, MainQueue& queue, double timeoutSeconds, Clock now);

    void progressed(const HttpProgress& progress);
    void finished(const HttpResponse& response);
    void fail(DownloadError error);
    void deliver(std::optional<std::filesystem::path> file, std::optional<DownloadError> error);

    HttpClient& http_;
    MainQueue& queue_;
    const double timeoutSeconds_;
    const Clock now_;

    bool started_ = false;
    std::filesystem::path dest_;
    std::filesystem::path partial_;  // the temporary file while it may still exist
    double lastSent_;
};

}  // namespace suite
