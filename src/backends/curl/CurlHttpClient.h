#pragma once
// The program's HttpClient on libcurl. One worker thread per client drives every transfer; each
// callback is posted to the main queue. Only https is spoken (plain http to this machine only
// when the options allow it, which only tests do), server certificates and host names are always
// verified, redirects are followed (at most 10, each target checked by the same rule), nothing is
// cached, and no header is sent that the request did not ask for, apart from the User-Agent
// default and what HTTP itself needs (Host, Content-Length).
//
// The client must not outlive `queue`. Destroying it ends every running transfer; their
// completions still arrive on the queue, reporting TransportError::Cancelled.
#include <memory>

#include "backends/curl/CurlClientOptions.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"

namespace suite::curl {
class CurlWorker;
}

namespace suite {

class CurlHttpClient final : public HttpClient {
  public:
    explicit CurlHttpClient(MainQueue& queue, CurlClientOptions options = {});
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    std::shared_ptr<HttpTransfer> start(HttpRequest request, HttpProgressHandler onProgress,
                                        HttpCompletion onDone) override;

  private:
    MainQueue& queue_;
    // Shared only so that transfer handles can wake it while it exists; the client alone owns it.
    std::shared_ptr<curl::CurlWorker> worker_;
};

}  // namespace suite
