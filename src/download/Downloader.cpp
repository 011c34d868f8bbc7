#include "download/Downloader.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace suite {

namespace {

// A fresh, exclusively created file beside `dest` (so the final rename stays on one file
// system), named so that no other transfer, earlier or concurrent, can share it.
std::optional<std::filesystem::path> createPartialFile(const std::filesystem::path& dest,
                                                       int& error) {
    std::string pattern = dest.string() + ".part-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    ::close(fd);
    return std::filesystem::path(pattern);
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::shared_ptr<Downloader> Downloader::create(HttpClient& http, MainQueue& queue,
                                               double timeoutSeconds, Clock now) {
    return std::shared_ptr<Downloader>(new Downloader(http, queue, timeoutSeconds, std::move(now)));
}

Downloader::Downloader(HttpClient& http, MainQueue& queue, double timeoutSeconds, Clock now)
    : http_(http),
      queue_(queue),
      timeoutSeconds_(timeoutSeconds),
      now_(std::move(now)),
      lastSent_(-std::numeric_limits<double>::infinity()) {}

Downloader::~Downloader() {
    // Only reached with the temporary file still there when the completion never ran (the
    // program is going down with the transfer in flight); the partial body must not stay.
    if (!partial_.empty()) removeQuietly(partial_);
}

void Downloader::start(const std::string& url, const std::filesystem::path& dest,
                       std::uint64_t size) {
    if (started_) return;
    started_ = true;
    dest_ = dest;

    int error = 0;
    auto partial = createPartialFile(dest, error);
    if (!partial) {
        // Reported through the queue like every other outcome, so a caller that starts the next
        // download from `onDone` never nests inside its own call.
        queue_.post([self = shared_from_this(), error] {
            self->fail({DownloadError::kFile, error,
                        "cannot create the temporary file: " + std::string(std::strerror(error))});
        });
        return;
    }
    partial_ = *partial;

    HttpRequest request;
    request.url = url;
    request.timeoutSeconds = timeoutSeconds_;
    request.totalSeconds = ceilingForBytes(size);
    request.maxBodyBytes = size + std::min(kSizeMargin, UINT64_MAX - size);
    request.responseFile = partial_;
    std::weak_ptr<Downloader> weak = weak_from_this();
    http_.start(
        std::move(request),
        [weak](const HttpProgress& progress) {
            if (auto self = weak.lock()) self->progressed(progress);
        },
        // The completion holds the downloader: it outlives its owner's reference until here.
        [self = shared_from_this()](HttpResponse response) { self->finished(response); });
}

void Downloader::progressed(const HttpProgress& progress) {
    if (!progress.totalToReceive || *progress.totalToReceive == 0) return;
    // The length is known once the header is in, before any of the body: the first report
    // belongs to the first data, and a 0 here would spend the throttle's first slot on nothing.
    if (progress.received == 0) return;
    const double now = now_();
    if (now - lastSent_ <= kProgressInterval) return;
    lastSent_ = now;
    if (onProgress) {
        onProgress(static_cast<double>(progress.received) /
                   static_cast<double>(*progress.totalToReceive) * 100.0);
    }
}

void Downloader::finished(const HttpResponse& response) {
    // A transport failure can come with the status of an answer that started well (a connection
    // lost mid-body, a disk that filled up), so it is looked at first.
    if (response.error == TransportError::TooLarge) {
        return fail({DownloadError::kSize, 0, response.errorMessage});
    }
    if (response.error != TransportError::None) {
        return fail(
            {DownloadError::kTransport, static_cast<int>(response.error), response.errorMessage});
    }
    if (response.status != 200 && response.status != 206) {
        return fail({DownloadError::kHttp, response.status,
                     "HTTP status " + std::to_string(response.status)});
    }
    // rename(2) replaces an existing file in one step: readers see the old file or the new one.
    std::error_code moved;
    std::filesystem::rename(partial_, dest_, moved);
    if (moved) {
        return fail({DownloadError::kFile, moved.value(),
                     "cannot move the download into place: " + moved.message()});
    }
    partial_.clear();
    deliver(dest_, std::nullopt);
}

void Downloader::fail(DownloadError error) {
    if (!partial_.empty()) {
        removeQuietly(partial_);
        partial_.clear();
    }
    deliver(std::nullopt, std::move(error));
}

void Downloader::deliver(std::optional<std::filesystem::path> file,
                         std::optional<DownloadError> error) {
    // Taken out first: the callback may replace or drop this downloader's owner.
    auto done = std::move(onDone);
    onDone = nullptr;
    if (done) done(std::move(file), std::move(error));
}

}  // namespace suite
