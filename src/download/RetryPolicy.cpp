#include "download/RetryPolicy.h"

#include <algorithm>
#include <cctype>

namespace suite {

AfterFailure afterFailure(const HttpResponse& response) {
    switch (response.error) {
        case TransportError::None: {
            const int status = response.status;
            if (status == 429 || status == 408 || (status >= 500 && status <= 599)) {
                return AfterFailure::Retry;
            }
            return AfterFailure::NextAddress;
        }
        case TransportError::NoConnection:
        case TransportError::ConnectionLost:
        case TransportError::TimedOut:
        // Our own side of a transfer that went wrong (a part of the file the server did not
        // send as asked): worth another try from a clean start.
        case TransportError::Other:
            return AfterFailure::Retry;
        case TransportError::DiskFull:
        case TransportError::Cancelled:
            return AfterFailure::Stop;
        default:
            return AfterFailure::NextAddress;
    }
}

std::optional<double> retryAfterSeconds(const HttpResponse& response, double ceiling) {
    if (response.status != 429 && response.status != 503) return std::nullopt;
    const auto value = findHeader(response.headers, "Retry-After");
    if (!value || value->empty() || value->size() > 9) return std::nullopt;
    if (!std::all_of(value->begin(), value->end(),
                     [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    return std::min(std::stod(*value), ceiling);
}

}  // namespace suite
