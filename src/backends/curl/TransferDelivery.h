#pragma once
// Hands one transfer's progress and completion to the main queue. The worker thread reports as
// often as it likes; the main thread sees at most one progress task per transfer waiting at any
// time and at most one every 20 ms (carrying the newest values when it runs), never a progress
// report after the completion, and the completion exactly once.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/HttpClient.h"
#include "platform/MainQueue.h"

namespace suite::curl {

class TransferDelivery final : public std::enable_shared_from_this<TransferDelivery> {
  public:
    TransferDelivery(MainQueue& queue, HttpProgressHandler onProgress, HttpCompletion onDone);

    // Any thread. Once asked for before the completion runs, the completion reports
    // TransportError::Cancelled, even when the worker had already finished: a caller that
    // cancelled never sees a success afterwards.
    void requestCancel() { cancelRequested_.store(true); }
    bool cancelRequested() const { return cancelRequested_.load(); }

    // Worker thread: whether anyone listens to progress at all (saves the bookkeeping).
    bool wantsProgress() const { return wantsProgress_; }

    // Worker thread. Posts a progress task unless one is already waiting; that one will carry
    // `progress` instead of the older values it was posted with.
    void reportProgress(const HttpProgress& progress);

    // Worker thread, once. `finalProgress` (if it differs from the last report) reaches the
    // progress handler before `response` reaches the completion.
    void complete(HttpResponse response, std::optional<HttpProgress> finalProgress);

  private:
    void deliverProgress();                         // main thread
    void deliverCompletion(HttpResponse response);  // main thread
    std::optional<HttpProgress> takeFreshProgress();

    MainQueue& queue_;
    const bool wantsProgress_;
    std::atomic<bool> cancelRequested_{false};

    std::mutex mutex_;  // guards the three fields below, shared by the worker and main thread
    HttpProgress latest_;
    bool fresh_ = false;                              // `latest_` has not reached the handler yet
    bool progressPosted_ = false;                     // a progress task is waiting on the queue
    std::chrono::steady_clock::time_point lastPost_;  // when the last progress task was posted
    static constexpr std::chrono::milliseconds kProgressInterval{20};

    // Main thread only. Both handlers are dropped there, so whatever they hold is released on
    // the thread that owns it.
    bool completed_ = false;
    HttpProgressHandler onProgress_;
    HttpCompletion onDone_;
};

}  // namespace suite::curl
