#include "download/Downloader.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <system_error>

#include "common/Ascii.h"
#include "download/FailureReason.h"
#include "download/RetryPolicy.h"

namespace suite {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::optional<std::uint64_t> freeSpaceOf(const std::filesystem::path& folder) {
    std::error_code error;
    const auto space = std::filesystem::space(folder, error);
    if (error) return std::nullopt;
    return space.available;
}

std::shared_ptr<Downloader> Downloader::create(HttpClient& http, MainQueue& queue,
                                               DownloadSettings settings) {
    return std::shared_ptr<Downloader>(new Downloader(http, queue, std::move(settings)));
}

Downloader::Downloader(HttpClient& http, MainQueue& queue, DownloadSettings settings)
    : http_(http),
      queue_(queue),
      settings_(std::move(settings)),
      lastSent_(-std::numeric_limits<double>::infinity()) {}

void Downloader::start(DownloadJob job) {
    if (started_ || job.urls.empty()) return;
    started_ = true;
    job_ = std::move(job);
    const auto folder = job_.dest.parent_path();
    partial_.emplace(folder, job_.sha256, job_.urls.front());

    // The room the rest of the package needs, and a little more: a disk filled to its last byte
    // would fail the package and whatever else wants to write there.
    const std::uint64_t kept = partial_->resumable() ? partial_->resumable()->bytes : 0;
    const std::uint64_t needed = job_.size - std::min(kept, job_.size) + job_.size / 20;
    const auto free = settings_.freeSpace(folder);
    if (free && *free < needed) {
        // Through the queue like every other outcome, so a caller that starts the next download
        // from `onDone` never nests inside its own call.
        queue_.post([self = shared_from_this(), needed, free = *free] {
            self->fail(
                {{TransferFailure::Kind::Space},
                 std::to_string(needed) + " bytes needed, " + std::to_string(free) + " free"});
        });
        return;
    }
    attempt();
}

void Downloader::attempt() {
    auto resumable = partial_->resumable();
    if (resumable && resumable->bytes <= job_.size + kSizeMargin) {
        resumedFrom_ = resumable->bytes;
    } else {
        // Bytes no server can be asked to continue are only in the way.
        partial_->discard();
        resumable.reset();
        resumedFrom_ = 0;
    }
    validatorNoted_ = false;
    digest_ = std::make_shared<Sha256>();

    HttpRequest request;
    request.url = job_.urls[address_];
    if (!settings_.userAgent.empty()) request.headers = {{"User-Agent", settings_.userAgent}};
    request.timeoutSeconds = settings_.timeoutSeconds;
    request.totalSeconds = ceilingForBytes(job_.size);
    request.lowSpeedBytesPerSecond = settings_.lowSpeedBytesPerSecond;
    request.lowSpeedSeconds = settings_.lowSpeedSeconds;
    request.maxBodyBytes = job_.size + std::min(kSizeMargin, UINT64_MAX - job_.size);
    request.responseFile = partial_->file();
    request.resumeFrom = resumedFrom_;
    if (resumable) request.ifRange = resumable->validator;
    request.responseDigest = digest_;
    std::weak_ptr<Downloader> weak = weak_from_this();
    transfer_ = http_.start(
        std::move(request),
        [weak](const HttpProgress& progress) {
            if (auto self = weak.lock()) self->progressed(progress);
        },
        // The completion holds the downloader: it outlives its owner's reference until here.
        [self = shared_from_this()](HttpResponse response) { self->finished(response); });
}

void Downloader::progressed(const HttpProgress& progress) {
    // Noted before the body is kept, so bytes on disk never outlive the knowledge of what they
    // are part of, not even when the program is killed.
    if (!validatorNoted_ && progress.headers) {
        validatorNoted_ = true;
        if (progress.status == 200 || progress.status == 206) {
            partial_->noteValidator(validatorOf(*progress.headers));
        }
        // A 206 that does not start at the kept bytes ends the transfer; any other goes on.
        if (progress.status == 206 && resumedFrom_ > 0 && job_.size > 0 && onResumed) {
            onResumed(std::min(
                100.0, static_cast<double>(resumedFrom_) / static_cast<double>(job_.size) * 100.0));
        }
    }
    // Only bytes that will be kept are the package's progress: an error page's body is not.
    if (progress.status != 200 && progress.status != 206) return;
    if (!progress.totalToReceive || *progress.totalToReceive == 0) return;
    // The length is known once the header is in, before any of the body: the first report
    // belongs to the first data, and a 0 here would spend the throttle's first slot on nothing.
    if (progress.received == 0) return;
    const double pct = static_cast<double>(progress.received) /
                       static_cast<double>(*progress.totalToReceive) * 100.0;
    if (pct < highest_) return;
    const double now = settings_.now();
    if (now - lastSent_ <= kProgressInterval) return;
    lastSent_ = now;
    highest_ = pct;
    if (onProgress) onProgress(pct);
}

void Downloader::cancel() {
    cancelled_ = true;
    onDone = nullptr;
    onProgress = nullptr;
    onResumed = nullptr;
    if (transfer_) transfer_->cancel();
}

void Downloader::finished(const HttpResponse& response) {
    transfer_.reset();
    if (cancelled_) return;
    if (response.error == TransportError::None &&
        (response.status == 200 || response.status == 206)) {
        return arrived();
    }
    if (response.error == TransportError::None && response.status == 416 && !startedOver_) {
        // The kept bytes do not fit the file the server has now: it starts again, at once.
        startedOver_ = true;
        partial_->discard();
        return attempt();
    }
    failedAttempt(response);
}

void Downloader::arrived() {
    const auto digest = digest_->hex();
    if (job_.sha256 && digest != lowerAscii(*job_.sha256)) {
        partial_->discard();
        // Bytes kept from an earlier attempt may be what is wrong; a whole new copy decides.
        if (resumedFrom_ > 0 && !digestRetried_) {
            digestRetried_ = true;
            return attempt();
        }
        // This address serves other bytes than the catalog vouches for (a stale or broken
        // mirror); another may serve the right ones.
        if (nextAddress()) return attempt();
        return fail(
            {{TransferFailure::Kind::Digest}, "the package's SHA-256 is not the catalog's"});
    }
    // rename(2) replaces an existing file in one step: readers see the old file or the new one.
    std::error_code moved;
    std::filesystem::rename(partial_->file(), job_.dest, moved);
    if (moved) {
        partial_->discard();
        return fail({{}, "cannot move the download into place: " + moved.message()});
    }
    partial_->forgetValidator();
    auto done = std::move(onDone);
    onDone = nullptr;
    if (done) done(job_.dest);
}

void Downloader::failedAttempt(const HttpResponse& response) {
    const TransferFailure reason = failureOf(response).value_or(TransferFailure{});
    const AfterFailure next = afterFailure(response);
    if (response.error == TransportError::TooLarge || response.error == TransportError::Other) {
        // Not bytes to go on from: too many of them, or not the part that was asked for.
        partial_->discard();
    }
    if (next == AfterFailure::Retry && retries_ < settings_.retryDelays.size()) {
        const double delay = retryAfterSeconds(response).value_or(settings_.retryDelays[retries_]);
        ++retries_;
        queue_.postAfter(delay, [self = shared_from_this()] {
            if (!self->cancelled_) self->attempt();
        });
        return;
    }
    if (next != AfterFailure::Stop && nextAddress()) return attempt();
    fail({reason, response.errorMessage});
}

bool Downloader::nextAddress() {
    if (address_ + 1 >= job_.urls.size()) return false;
    ++address_;
    retries_ = 0;
    digestRetried_ = false;
    return true;
}

void Downloader::fail(DownloadError error) {
    // Taken out first: the callback may replace or drop this downloader's owner.
    auto done = std::move(onDone);
    onDone = nullptr;
    if (done) done(unexpected(std::move(error)));
}

}  // namespace suite
