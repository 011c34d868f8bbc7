#pragma once
// Why a transfer or a download failed. The page reads these as words ("offline", "http-404",
// "digest"...); the bridge writes them (bridge::reasonWord), nothing before it.
#include <optional>

#include "platform/HttpClient.h"

namespace suite {

struct TransferFailure {
    enum class Kind {
        Offline,    // no connection, or it was lost
        Dns,        // the host name was not found
        Tls,        // no secure connection could be made
        Timeout,    // nothing moved for too long
        Http,       // the server answered with another status (`httpStatus`)
        Redirect,   // a redirect the client may not follow
        Space,      // the disk is full
        Refused,    // an address the client may not talk to
        Size,       // longer than the catalog said
        Cancelled,  // the user stopped it
        Other,
        Digest,  // a download's bytes are not the catalog's
    };
    Kind kind = Kind::Other;
    int httpStatus = 0;
    bool operator==(const TransferFailure&) const = default;
};

// Why `response` is no usable answer; nothing for a 200 or 206 that arrived whole.
std::optional<TransferFailure> failureOf(const HttpResponse& response);

// Whether any server answered at all: the network is there, whatever went wrong after.
bool serverAnswered(const HttpResponse& response);

}  // namespace suite
