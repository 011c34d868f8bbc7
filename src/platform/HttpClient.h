#pragma once
// The program's one HTTP client: the catalog, package downloads and feedback uploads all go
// through it. Transfers run off the main thread; every callback arrives on the main queue.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace suite {

class Sha256;

// Why a transfer got no (complete) answer from a server.
enum class TransportError {
    None,             // the server answered; look at the status
    NoConnection,     // no route to the server, or it refused the connection
    ConnectionLost,   // the connection broke during the exchange
    HostNotFound,     // the host name does not resolve
    TimedOut,         // no data moved for longer than the request's timeout, data moved
                      // slower than its low-speed rule allows, or the whole transfer took
                      // longer than its ceiling
    Cancelled,        // the program cancelled the transfer
    Other,            // anything else, local file errors among them
    TooLarge,         // the server answered, but with a body longer than the request allows
    Tls,              // a server answered, but the secure connection could not be made with it
                      // (its certificate, its name, the handshake)
    RedirectRefused,  // the server redirected to an address the client may not follow, or
                      // redirected too often
    Refused,          // the client's rules refused the address before anything was sent
    DiskFull,         // the response file could not grow: the disk, the user's quota or the
                      // process's file size limit is full
};

// The most response body any request accepts unless it says otherwise: far beyond every answer
// the program keeps in memory (the catalog, its signature, feedback answers), and small enough
// that a server sending without end cannot exhaust memory.
inline constexpr std::uint64_t kDefaultMaxBodyBytes = 32u << 20;

// A ceiling for a transfer that moves `bytes`: ten minutes, plus the time those bytes take at
// 100 kB/s. A slow but working link still finishes; one that trickles on for ever is given up.
inline double ceilingForBytes(std::uint64_t bytes) {
    return 600.0 + static_cast<double>(bytes) / 100'000.0;
}

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    HttpHeaders headers;
    // Longest time without any data moving (also the connection set-up), not a cap on the whole
    // transfer: a large download may take as long as it needs while bytes keep arriving.
    double timeoutSeconds = 60;
    // Longest the whole transfer may take, connection set-up included, however steadily bytes
    // move: every transfer ends in bounded time. One that moves a large body sets a ceiling to
    // fit it (see ceilingForBytes). Not a number above 0: no ceiling (never set by the program).
    double totalSeconds = 60;
    // A transfer that moves fewer than `lowSpeedBytesPerSecond` bytes a second for
    // `lowSpeedSeconds` (whole seconds) ends with TransportError::TimedOut: a server that trickles
    // keeps the idle timeout quiet, and waiting for the ceiling would cost its whole length.
    // Either 0: no such rule.
    std::uint64_t lowSpeedBytesPerSecond = 0;
    double lowSpeedSeconds = 0;
    // Most bytes of response body accepted, in memory or into `responseFile`; a longer answer
    // ends the transfer with `TransportError::TooLarge`. 0: no limit (never set by the program).
    std::uint64_t maxBodyBytes = kDefaultMaxBodyBytes;
    // Request body: `body` from memory, or, when `bodyFile` is set, streamed from that file.
    std::string body;
    std::filesystem::path bodyFile;
    // Response body: into `HttpResponse::body`, or, when `responseFile` is set, streamed into that
    // file. Only the body of a 200 or 206 answer goes there (created or truncated when the answer
    // begins; whatever arrived stays there, also on failure: the caller decides what to keep);
    // the body of any other answer is not kept at all, so an error page never replaces a file.
    std::filesystem::path responseFile;
    // With `responseFile`: the file already holds this many bytes of the body, and only the rest
    // is asked for ("Range: bytes=N-", with "If-Range: <ifRange>" when that is set). A 206 whose
    // Content-Range starts at N continues the file; a 200 replaces it from its start. A 206 that
    // starts anywhere else ends the transfer with TransportError::Other, the file unchanged.
    // `maxBodyBytes` then bounds the whole file, the kept bytes included, and progress counts
    // the kept bytes of a continued file as received.
    std::uint64_t resumeFrom = 0;
    std::string ifRange;
    // With `responseFile`: a fresh digest that sees every byte the file ends up holding, in file
    // order, as it is written (the kept bytes of a continued file first). Read it once the
    // completion has come.
    std::shared_ptr<Sha256> responseDigest;
};

struct HttpProgress {
    std::uint64_t sent = 0;
    std::optional<std::uint64_t> totalToSend;  // nothing when unknown
    std::uint64_t received = 0;
    std::optional<std::uint64_t> totalToReceive;
    // The status and headers of the final response (after redirects), once its headers are all
    // in; 0 and nothing before. A caller can note a validator before any of the body is kept.
    int status = 0;
    std::shared_ptr<const HttpHeaders> headers;
};

struct HttpResponse {
    TransportError error = TransportError::None;
    std::string errorMessage;  // for logs, never shown to the page
    int status = 0;            // the final HTTP status; 0 when there was no HTTP answer
    HttpHeaders headers;       // of the final response
    std::string body;          // empty when streamed into a file
    std::string finalUrl;      // after redirects
};

// The value of the first header called `name` (in any letter case), if there is one.
std::optional<std::string> findHeader(const HttpHeaders& headers, std::string_view name);

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
