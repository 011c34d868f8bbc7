#include "backends/curl/TransferDelivery.h"

#include <utility>

namespace suite::curl {

namespace {

bool sameProgress(const HttpProgress& a, const HttpProgress& b) {
    return a.sent == b.sent && a.totalToSend == b.totalToSend && a.received == b.received &&
           a.totalToReceive == b.totalToReceive;
}

}  // namespace

TransferDelivery::TransferDelivery(MainQueue& queue, HttpProgressHandler onProgress,
                                   HttpCompletion onDone)
    : queue_(queue),
      wantsProgress_(static_cast<bool>(onProgress)),
      onProgress_(std::move(onProgress)),
      onDone_(std::move(onDone)) {}

void TransferDelivery::reportProgress(const HttpProgress& progress) {
    if (!wantsProgress_) return;
    bool mustPost = false;
    {
        std::lock_guard lock(mutex_);
        if (fresh_ || !sameProgress(latest_, progress)) {
            latest_ = progress;
            fresh_ = true;
        }
        // A fast transfer reports every few kilobytes; waking the main thread for each report
        // costs the transfer itself. Reports in between are carried by the next one (or by the
        // completion), so nothing is lost but the repetition.
        auto now = std::chrono::steady_clock::now();
        if (fresh_ && !progressPosted_ && now - lastPost_ >= kProgressInterval) {
            progressPosted_ = true;
            lastPost_ = now;
            mustPost = true;
        }
    }
    if (mustPost) queue_.post([self = shared_from_this()] { self->deliverProgress(); });
}

void TransferDelivery::complete(HttpResponse response, std::optional<HttpProgress> finalProgress) {
    if (wantsProgress_ && finalProgress) {
        std::lock_guard lock(mutex_);
        if (!sameProgress(latest_, *finalProgress)) {
            latest_ = *finalProgress;
            fresh_ = true;
        }
    }
    queue_.post([self = shared_from_this(), response = std::move(response)]() mutable {
        self->deliverCompletion(std::move(response));
    });
}

std::optional<HttpProgress> TransferDelivery::takeFreshProgress() {
    std::lock_guard lock(mutex_);
    progressPosted_ = false;
    if (!fresh_) return std::nullopt;
    fresh_ = false;
    return latest_;
}

void TransferDelivery::deliverProgress() {
    // A progress task may run after the completion on a queue that does not keep order; by then
    // the completion has already handed over the newest values.
    if (completed_) return;
    if (auto progress = takeFreshProgress(); progress && onProgress_) onProgress_(*progress);
}

void TransferDelivery::deliverCompletion(HttpResponse response) {
    if (completed_) return;
    if (auto progress = takeFreshProgress(); progress && onProgress_) onProgress_(*progress);
    completed_ = true;
    if (cancelRequested() && response.error != TransportError::Cancelled) {
        response.error = TransportError::Cancelled;
        response.errorMessage = "cancelled";
    }
    HttpCompletion onDone = std::move(onDone_);
    onDone_ = nullptr;
    onProgress_ = nullptr;
    if (onDone) onDone(std::move(response));
}

}  // namespace suite::curl
