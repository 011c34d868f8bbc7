#pragma once
// Why a transfer failed, in the words the page reads: "offline", "dns", "tls", "timeout",
// "http-NNN", "redirect", "space", "refused", plus "size" (longer than the catalog said),
// "cancelled" and "other". Downloads add "digest" (the file is not the catalog's).
#include <string>

#include "platform/HttpClient.h"

namespace suite {

// The reason `response` is no usable answer; empty for a 200 or 206 that arrived whole.
std::string failureReason(const HttpResponse& response);

// Whether any server answered at all: the network is there, whatever went wrong after.
bool serverAnswered(const HttpResponse& response);

}  // namespace suite
