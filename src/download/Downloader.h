#pragma once
// Downloads one package to its destination on the shared HTTP client and checks it against the
// catalog's digest, reporting throttled percentages while it runs and exactly one outcome at the
// end. Every callback runs on the main queue.
//
// Networks fail in passing, so one download is several attempts: each address (the catalog's,
// then its mirrors) is tried again after transient failures, waiting a little longer each time,
// before the next address is tried. The bytes received so far stay in a partial file in the
// download folder, with the server's validator beside them, so the next attempt (also by a later
// run of the program) asks only for the rest, and only if the file has not changed meanwhile.
// The digest is computed as the bytes are written; the file is renamed to its destination only
// when it matches, so a destination never holds anything but a whole, checked package. Bytes that
// do not match are an address's fault as much as a network's: a mirror may still have the
// package, so the item fails its check only once no address served it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Expected.h"
#include "download/FailureReason.h"
#include "download/PartialDownload.h"
#include "platform/Digest.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"

namespace suite {

// Why a download has no file, and a message for the log.
struct DownloadError {
    TransferFailure reason;
    std::string message;
};
// The checked package at its destination, or why there is none.
using DownloadResult = Expected<std::filesystem::path, DownloadError>;

// Seconds on some steady clock; only differences matter.
using Clock = std::function<double()>;
double steadySeconds();
// Bytes free for this user on the file system of a folder; nothing when it cannot be told.
using FreeSpace = std::function<std::optional<std::uint64_t>(const std::filesystem::path&)>;
std::optional<std::uint64_t> freeSpaceOf(const std::filesystem::path& folder);

struct DownloadSettings {
    double timeoutSeconds = 30;  // time allowed without any data arriving, per attempt
    // An attempt that moves fewer bytes a second than this for this long is cut and counts as a
    // transient failure: a server that trickles is not worth the whole ceiling of every attempt.
    std::uint64_t lowSpeedBytesPerSecond = 1000;
    double lowSpeedSeconds = 60;
    std::vector<double> retryDelays = {1, 4, 16};  // waits before each retry of one address
    std::string userAgent;
    Clock now = steadySeconds;  // drives the progress throttle
    FreeSpace freeSpace = freeSpaceOf;
};

// One package: where it comes from, where it goes and what it must be.
struct DownloadJob {
    std::vector<std::string> urls;  // the catalog's address first, then its mirrors
    std::filesystem::path dest;     // its partial file lives in the same folder
    std::uint64_t size = 0;
    std::optional<std::string> sha256;  // nothing: the catalog vouches for nothing more
};

class Downloader final : public std::enable_shared_from_this<Downloader> {
  public:
    static constexpr double kProgressInterval = 0.15;
    // How far past its expected size a download may run before it is stopped: a package whose
    // size the catalog understates a little still arrives (its digest vouches for it), and a
    // server that sends on and on costs the disk no more than this.
    static constexpr std::uint64_t kSizeMargin = 1 << 20;

    static std::shared_ptr<Downloader> create(HttpClient& http, MainQueue& queue,
                                              DownloadSettings settings);

    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // The percentage of the package received, above 0 up to 100, unrounded; at most once per
    // `kProgressInterval`, the first with the first data, never when the server did not say how
    // long the body is, and never less than an earlier report (a retry that has to start over
    // stays silent until it has caught up). The last report may be below 100.
    std::function<void(double pct)> onProgress;
    // An answer goes on from the bytes an earlier attempt (or run) kept: the percentage of the
    // package they make. Before that answer's first `onProgress`.
    std::function<void(double pct)> onResumed;
    // Called once per `start`.
    std::function<void(DownloadResult)> onDone;

    // Starts the download and returns at once. Each attempt is stopped once more than
    // `size` + kSizeMargin bytes arrived, and given up after ceilingForBytes(size) or once it
    // crawls below the settings' low speed. The downloader keeps itself alive until `onDone` has
    // run, so the owner may drop it earlier.
    // A downloader serves one job; later calls are ignored.
    void start(DownloadJob job);
    // Stops the transfer and every retry still to come, keeping the partial file for a later
    // attempt; no callback is called any more.
    void cancel();

  private:
    Downloader(HttpClient& http, MainQueue& queue, DownloadSettings settings);

    void attempt();
    void progressed(const HttpProgress& progress);
    void finished(const HttpResponse& response);
    void arrived();
    void failedAttempt(const HttpResponse& response);
    // Moves on to the next address with a fresh retry budget; false when there is none.
    bool nextAddress();
    void fail(DownloadError error);

    HttpClient& http_;
    MainQueue& queue_;
    const DownloadSettings settings_;

    bool started_ = false;
    bool cancelled_ = false;
    std::shared_ptr<HttpTransfer> transfer_;
    DownloadJob job_;
    std::optional<PartialDownload> partial_;
    std::size_t address_ = 0;        // index into job_.urls
    std::size_t retries_ = 0;        // of the current address so far
    bool startedOver_ = false;       // the server refused the range once (416): no second time
    bool digestRetried_ = false;     // at this address, a continued file failed the digest
    bool validatorNoted_ = false;    // for the current attempt
    std::uint64_t resumedFrom_ = 0;  // of the current attempt
    std::shared_ptr<Sha256> digest_;
    double lastSent_;
    double highest_ = 0;  // the highest percentage reported
};

}  // namespace suite
