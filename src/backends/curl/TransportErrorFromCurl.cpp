#include "backends/curl/TransportErrorFromCurl.h"

namespace suite::curl {

TransportError transportErrorFrom(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return TransportError::None;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return TransportError::HostNotFound;
        case CURLE_COULDNT_CONNECT:
            return TransportError::NoConnection;
        case CURLE_OPERATION_TIMEDOUT:
            return TransportError::TimedOut;
        case CURLE_FILESIZE_EXCEEDED:
            return TransportError::TooLarge;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED:
            return TransportError::Tls;
        case CURLE_TOO_MANY_REDIRECTS:
            return TransportError::RedirectRefused;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        // An HTTP/2 stream reset mid-answer is the same loss as a dropped HTTP/1.1 connection.
        case CURLE_HTTP2_STREAM:
            return TransportError::ConnectionLost;
        default:
            return TransportError::Other;
    }
}

}  // namespace suite::curl
