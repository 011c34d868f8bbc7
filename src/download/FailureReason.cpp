#include "download/FailureReason.h"

namespace suite {

std::optional<TransferFailure> failureOf(const HttpResponse& response) {
    using Kind = TransferFailure::Kind;
    switch (response.error) {
        case TransportError::None:
            if (response.status == 200 || response.status == 206) return std::nullopt;
            return TransferFailure{Kind::Http, response.status};
        case TransportError::NoConnection:
        case TransportError::ConnectionLost:
            return TransferFailure{Kind::Offline};
        case TransportError::HostNotFound:
            return TransferFailure{Kind::Dns};
        case TransportError::TimedOut:
            return TransferFailure{Kind::Timeout};
        case TransportError::Tls:
            return TransferFailure{Kind::Tls};
        case TransportError::RedirectRefused:
            return TransferFailure{Kind::Redirect};
        case TransportError::Refused:
            return TransferFailure{Kind::Refused};
        case TransportError::DiskFull:
            return TransferFailure{Kind::Space};
        case TransportError::TooLarge:
            return TransferFailure{Kind::Size};
        case TransportError::Cancelled:
            return TransferFailure{Kind::Cancelled};
        case TransportError::Other:
            break;
    }
    return TransferFailure{Kind::Other};
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
