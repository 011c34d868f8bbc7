#include "download/FailureReason.h"

namespace suite {

std::string failureReason(const HttpResponse& response) {
    switch (response.error) {
        case TransportError::None:
            if (response.status == 200 || response.status == 206) return {};
            return "http-" + std::to_string(response.status);
        case TransportError::NoConnection:
        case TransportError::ConnectionLost:
            return "offline";
        case TransportError::HostNotFound:
            return "dns";
        case TransportError::TimedOut:
            return "timeout";
        case TransportError::Tls:
            return "tls";
        case TransportError::RedirectRefused:
            return "redirect";
        case TransportError::Refused:
            return "refused";
        case TransportError::DiskFull:
            return "space";
        case TransportError::TooLarge:
            return "size";
        case TransportError::Cancelled:
            return "cancelled";
        case TransportError::Other:
            break;
    }
    return "other";
}

bool serverAnswered(const HttpResponse& response) {
    switch (response.error) {
        case TransportError::None:
        case TransportError::TooLarge:
        case TransportError::Tls:
        case TransportError::RedirectRefused:
            return true;
        default:
            return false;
    }
}

}  // namespace suite
