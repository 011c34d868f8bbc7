#include "backends/curl/CurlWorker.h"

#include <algorithm>
#include <chrono>

namespace suite::curl {

namespace {

// curl_global_init is not thread-safe and must run once before any other curl call; clients
// may be made on several threads (tests do), so the first one to start does it for all.
void initializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// How long the loop may sleep with nothing to do. Submissions, cancels and stop all wake it at
// once; the bound only limits how late a missed wake-up could be noticed.
constexpr int kLongestPollMilliseconds = 1000;
// With no transfer at all there is nothing to time out either: a program waiting in the
// background should not wake every second for nothing (curl_multi_wakeup is never lost).
constexpr int kIdlePollMilliseconds = 60'000;

}  // namespace

CurlWorker::CurlWorker(CurlClientOptions options) : options_(std::move(options)) {
    initializeCurlOnce();
    multi_ = curl_multi_init();
    thread_ = std::thread([this] { run(); });
}

CurlWorker::~CurlWorker() {
    stop();
    if (multi_) curl_multi_cleanup(multi_);
}

void CurlWorker::submit(HttpRequest request, std::shared_ptr<TransferDelivery> delivery) {
    bool accepted = false;
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            submitted_.push_back({std::move(request), delivery});
            accepted = true;
        }
    }
    if (!accepted) {
        HttpResponse response;
        response.error = TransportError::Cancelled;
        response.errorMessage = "the HTTP client is shutting down";
        response.finalUrl = request.url;
        delivery->complete(std::move(response), std::nullopt);
        return;
    }
    wake();
}

void CurlWorker::wake() {
    if (multi_) curl_multi_wakeup(multi_);
}

void CurlWorker::stop() {
    std::call_once(stopOnce_, [this] {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake();
        if (thread_.joinable()) thread_.join();
    });
}

void CurlWorker::run() {
    for (;;) {
        std::vector<Submission> arrived;
        bool stopping = false;
        {
            std::lock_guard lock(mutex_);
            arrived.swap(submitted_);
            stopping = stopping_;
        }
        if (stopping) {
            for (auto& submission : arrived) {
                CurlTransfer(std::move(submission.request), std::move(submission.delivery),
                             options_)
                    .stop(TransportError::Cancelled, "the HTTP client was destroyed");
            }
            break;
        }
        admit(std::move(arrived));

        if (multi_) {
            int stillRunning = 0;
            curl_multi_perform(multi_, &stillRunning);
            collectFinished();
        }
        stopCancelledAndIdle();

        if (multi_) {
            if (curl_multi_poll(multi_, nullptr, 0, pollMilliseconds(), nullptr) != CURLM_OK) {
                // Should not happen; never spin on it.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        } else {
            // Without a multi handle nothing can run; admit() fails every request, and this
            // loop only waits for stop().
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    stopAll();
}

void CurlWorker::admit(std::vector<Submission> submissions) {
    for (auto& submission : submissions) {
        auto transfer = std::make_unique<CurlTransfer>(std::move(submission.request),
                                                       std::move(submission.delivery), options_);
        if (transfer->delivery().cancelRequested()) {
            transfer->stop(TransportError::Cancelled, "cancelled");
            continue;
        }
        if (!multi_) {
            transfer->stop(TransportError::Other, "cannot create a curl multi handle");
            continue;
        }
        if (auto prepared = transfer->prepare(); !prepared) {
            transfer->stop(prepared.error().error, prepared.error().message);
            continue;
        }
        if (curl_multi_add_handle(multi_, transfer->easy()) != CURLM_OK) {
            transfer->stop(TransportError::Other, "curl refused the transfer");
            continue;
        }
        CURL* easy = transfer->easy();
        running_.emplace(easy, std::move(transfer));
    }
}

void CurlWorker::collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        // Read everything out of the message before removing the handle invalidates it.
        CURL* easy = message->easy_handle;
        const CURLcode code = message->data.result;
        auto found = running_.find(easy);
        if (found == running_.end()) continue;
        auto transfer = std::move(found->second);
        running_.erase(found);
        curl_multi_remove_handle(multi_, easy);
        transfer->finish(code);
    }
}

void CurlWorker::stopCancelledAndIdle() {
    const auto now = CurlTransfer::Clock::now();
    std::vector<std::pair<CURL*, TransportError>> ending;
    for (const auto& [easy, transfer] : running_) {
        if (transfer->delivery().cancelRequested()) {
            ending.emplace_back(easy, TransportError::Cancelled);
        } else if (auto deadline = transfer->idleDeadline(); deadline && now >= *deadline) {
            ending.emplace_back(easy, TransportError::TimedOut);
        }
    }
    for (const auto& [easy, error] : ending) {
        end(easy, error,
            error == TransportError::Cancelled ? "cancelled" : "no data moved within the timeout");
    }
}

void CurlWorker::stopAll() {
    while (!running_.empty()) {
        end(running_.begin()->first, TransportError::Cancelled, "the HTTP client was destroyed");
    }
}

void CurlWorker::end(CURL* easy, TransportError error, std::string message) {
    auto found = running_.find(easy);
    if (found == running_.end()) return;
    auto transfer = std::move(found->second);
    running_.erase(found);
    curl_multi_remove_handle(multi_, easy);
    transfer->stop(error, std::move(message));
}

int CurlWorker::pollMilliseconds() const {
    using std::chrono::milliseconds;
    if (running_.empty()) return kIdlePollMilliseconds;
    const auto now = CurlTransfer::Clock::now();
    auto wait = milliseconds(kLongestPollMilliseconds);
    for (const auto& [easy, transfer] : running_) {
        if (auto deadline = transfer->idleDeadline()) {
            const auto left = std::chrono::ceil<milliseconds>(*deadline - now);
            wait = std::clamp(left, milliseconds(0), wait);
        }
    }
    return static_cast<int>(wait.count());
}

}  // namespace suite::curl
