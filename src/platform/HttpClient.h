#pragma once
// The program's one HTTP client: the catalog, package downloads and feedback uploads all go
// through it. Transfers run off the main thread; every callback arrives on the main queue.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace suite {

// Why a transfer got no (complete) answer from a server.
enum class TransportError {
    None,            // the server answered; look at the status
    NoConnection,    // no route to the server, or it refused the connection
    ConnectionLost,  // the connection broke during the exchange
    HostNotFound,    // the host name does not resolve
    TimedOut,        // no data moved for longer than the request's timeout
    Cancelled,       // the program cancelled the transfer
    Other,           // anything else: TLS failures, refused addresses, local file errors
};

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    HttpHeaders headers;
    // Longest time without any data moving (also the connection set-up), not a cap on the whole
    // transfer: a large download may take as long as it needs while bytes keep arriving.
    double timeoutSeconds = 60;
    // Request body: `body` from memory, or, when `bodyFile` is set, streamed from that file.
    std::string body;
    std::filesystem::path bodyFile;
    // Response body: into `HttpResponse::body`, or, when `responseFile` is set, streamed into that
    // file (created or truncated when the first byte arrives; whatever arrived stays there, also
    // on failure: the caller decides what to keep).
    std::filesystem::path responseFile;
};

struct HttpProgress {
    std::uint64_t sent = 0;
    std::optional<std::uint64_t> totalToSend;  // nothing when unknown
    std::uint64_t received = 0;
    std::optional<std::uint64_t> totalToReceive;
};

struct HttpResponse {
    TransportError error = TransportError::None;
    std::string errorMessage;  // for logs, never shown to the page
    int status = 0;            // the final HTTP status; 0 when there was no HTTP answer
    HttpHeaders headers;       // of the final response
    std::string body;          // empty when streamed into a file
    std::string finalUrl;      // after redirects
};

class HttpTransfer {
public:
    virtual ~HttpTransfer() = default;
    // Stops the transfer; its completion still comes, once, with `TransportError::Cancelled`
    // (unless it had already finished).
    virtual void cancel() = 0;
};

using HttpProgressHandler = std::function<void(const HttpProgress&)>;
using HttpCompletion = std::function<void(HttpResponse)>;

class HttpClient {
public:
    virtual ~HttpClient() = default;

    // Starts `request` and returns at once. `onProgress` (may be empty) runs on the main queue as
    // the transfer advances, coalesced so that a fast transfer cannot flood the main thread;
    // `onDone` runs on the main queue exactly once, after the last progress report. Redirects are
    // followed. Nothing is ever answered from a local cache.
    virtual std::shared_ptr<HttpTransfer> start(HttpRequest request, HttpProgressHandler onProgress,
                                                HttpCompletion onDone) = 0;
};

}  // namespace suite
