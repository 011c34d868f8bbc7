#pragma once
// One request on one curl easy handle: the options that enforce the client's rules, the
// callbacks that feed the body in and out, and the response at the end. Lives on the worker
// thread only; the main thread hears of it through its TransferDelivery.
#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "backends/curl/CurlClientOptions.h"
#include "backends/curl/CurlHandles.h"
#include "backends/curl/RequestBodySource.h"
#include "backends/curl/ResponseBodySink.h"
#include "backends/curl/ResponseHeaders.h"
#include "backends/curl/TransferDelivery.h"
#include "common/Expected.h"
#include "platform/HttpClient.h"

namespace suite::curl {

// Why a transfer ended before it touched the network.
struct TransferStop {
    TransportError error = TransportError::Other;
    std::string message;
};

class CurlTransfer {
  public:
    using Clock = std::chrono::steady_clock;

    CurlTransfer(HttpRequest request, std::shared_ptr<TransferDelivery> delivery,
                 const CurlClientOptions& options);
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Builds the easy handle. On failure says what kind and why; nothing has touched the network
    // then.
    Expected<void, TransferStop> prepare();

    CURL* easy() const { return easy_.get(); }
    TransferDelivery& delivery() const { return *delivery_; }

    // When the transfer will have gone too long without data moving; nothing without a timeout.
    std::optional<Clock::time_point> idleDeadline() const;

    // Reports a transfer curl has finished with `code` (already out of the multi handle).
    void finish(CURLcode code);
    // Reports a transfer that ends without curl's verdict: refused, cancelled, timed out.
    void stop(TransportError error, std::string message);

  private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* self);
    static int onSeek(void* self, curl_off_t offset, int origin);
    static int onProgress(void* self, curl_off_t totalDown, curl_off_t down, curl_off_t totalUp,
                          curl_off_t up);

    // One step of building the handle; when it fails, why.
    using Step = Expected<void, std::string>;
    Step prepareHandle();
    Step setMethodAndBody();
    Step setHeaders();
    bool takeHeaderLine(std::string_view line);
    // The body of the final answer begins: whether and how the response file takes it.
    bool beginBody();
    void failLocally(TransportError error, std::string message);
    void failFile();
    HttpProgress progressAtEnd() const;
    void report(TransportError error, std::string message);

    HttpRequest request_;
    std::shared_ptr<TransferDelivery> delivery_;
    const CurlClientOptions& options_;

    StringList headerLines_;
    StringList resolveLines_;
    StringList connectToLines_;
    std::optional<RequestBodySource> body_;
    ResponseBodySink sink_;
    char curlMessage_[CURL_ERROR_SIZE] = {};
    // Set by our own callbacks when they stop the transfer; wins over curl's generic verdict.
    std::string localFailure_;
    TransportError localError_ = TransportError::Other;
    std::uint64_t bodyBytes_ = 0;  // of the final answer as it arrived, plus the kept bytes
    bool bodyBegun_ = false;
    bool keepBody_ = false;        // the final answer's body goes into the response file
    std::uint64_t keptBytes_ = 0;  // of a continued response file, counted as received
    int finalStatus_ = 0;
    std::shared_ptr<const HttpHeaders> finalHeaders_;

    std::optional<std::chrono::milliseconds> idleLimit_;
    Clock::time_point lastActivity_;
    curl_off_t lastDown_ = 0;
    curl_off_t lastUp_ = 0;

    ResponseHeaders headers_;  // of the response whose headers are arriving

    // Last, so it is cleaned up first, while everything it points at still exists.
    EasyHandle easy_;
};

}  // namespace suite::curl
