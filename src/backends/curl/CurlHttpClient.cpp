#include "backends/curl/CurlHttpClient.h"

#include <utility>

#include "backends/curl/CurlWorker.h"
#include "backends/curl/TransferDelivery.h"

namespace suite {

namespace {

// What the caller holds. It may outlive the client: cancelling then finds no worker to wake,
// and there is nothing left to stop either.
class CurlTransferHandle final : public HttpTransfer {
  public:
    CurlTransferHandle(std::shared_ptr<curl::TransferDelivery> delivery,
                       std::weak_ptr<curl::CurlWorker> worker)
        : delivery_(std::move(delivery)), worker_(std::move(worker)) {}

    void cancel() override {
        delivery_->requestCancel();
        if (auto worker = worker_.lock()) worker->wake();
    }

  private:
    std::shared_ptr<curl::TransferDelivery> delivery_;
    std::weak_ptr<curl::CurlWorker> worker_;
};

}  // namespace

CurlHttpClient::CurlHttpClient(MainQueue& queue, CurlClientOptions options)
    : queue_(queue), worker_(std::make_shared<curl::CurlWorker>(std::move(options))) {}

CurlHttpClient::~CurlHttpClient() {
    worker_->stop();
}

std::shared_ptr<HttpTransfer> CurlHttpClient::start(HttpRequest request,
                                                    HttpProgressHandler onProgress,
                                                    HttpCompletion onDone) {
    auto delivery =
        std::make_shared<curl::TransferDelivery>(queue_, std::move(onProgress), std::move(onDone));
    worker_->submit(std::move(request), delivery);
    return std::make_shared<CurlTransferHandle>(std::move(delivery), worker_);
}

}  // namespace suite
