#pragma once
// What a download does after an attempt that brought no file: try the same address again after
// a while (the network or the server may recover), go on to the next address, or stop.
#include <optional>
#include <vector>

#include "platform/HttpClient.h"

namespace suite {

enum class AfterFailure {
    Retry,        // transient: a reset, a timeout, a server error, "too many requests"
    NextAddress,  // this address will not serve it (404, 403, a refused host, TLS, DNS)
    Stop,         // no address can help: the disk is full, or the transfer was cancelled
};

AfterFailure afterFailure(const HttpResponse& response);

// The waits before the retries of one address: 1 s, 4 s, 16 s.
inline const std::vector<double>& defaultRetryDelays() {
    static const std::vector<double> delays = {1, 4, 16};
    return delays;
}

// The wait a 429 or 503 asks for in seconds ("Retry-After: 30"), at most `ceiling`; nothing when
// it asks for none or names a date.
std::optional<double> retryAfterSeconds(const HttpResponse& response, double ceiling = 60);

}  // namespace suite
