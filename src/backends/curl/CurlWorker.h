#pragma once
// The one thread that drives every transfer of a client through a curl multi handle. Requests
// are handed over under a lock and the thread is woken; cancellations and idle timeouts are
// checked on every turn of its loop. Stopping ends whatever is still running as cancelled.
#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "backends/curl/CurlClientOptions.h"
#include "backends/curl/CurlTransfer.h"
#include "backends/curl/TransferDelivery.h"
#include "platform/HttpClient.h"

namespace suite::curl {

class CurlWorker {
  public:
    explicit CurlWorker(CurlClientOptions options);
    ~CurlWorker();
    CurlWorker(const CurlWorker&) = delete;
    CurlWorker& operator=(const CurlWorker&) = delete;

    // Any thread. Hands `request` to the worker; its outcome reaches `delivery`.
    void submit(HttpRequest request, std::shared_ptr<TransferDelivery> delivery);
    // Any thread: makes the loop look at its transfers now (after a cancel, say).
    void wake();
    // Ends every transfer as cancelled and joins the thread. Idempotent.
    void stop();

  private:
    struct Submission {
        HttpRequest request;
        std::shared_ptr<TransferDelivery> delivery;
    };

    void run();
    void admit(std::vector<Submission> submissions);
    void collectFinished();
    void stopCancelledAndIdle();
    void stopAll();
    void end(CURL* easy, TransportError error, std::string message);
    int pollMilliseconds() const;

    const CurlClientOptions options_;
    CURLM* multi_ = nullptr;

    std::mutex mutex_;  // guards the two fields below
    std::vector<Submission> submitted_;
    bool stopping_ = false;

    // Worker thread only.
    std::unordered_map<CURL*, std::unique_ptr<CurlTransfer>> running_;

    std::once_flag stopOnce_;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace suite::curl
