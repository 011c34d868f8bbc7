#pragma once
// Which addresses the client may talk to: https anywhere, plain http only to this machine and
// only when a test asked for it. The URL is read by curl's own parser, so the host we judge is
// the host curl would connect to ("127.1" and "2130706433" both read as 127.0.0.1).
#include <optional>
#include <string>

namespace suite::curl {

// Why `url` may not be fetched, or nothing when it may.
std::optional<std::string> refusalForUrl(const std::string& url, bool allowPlainHttpToLoopback);

// Why a redirect from `currentUrl` to `location` (a Location header value, possibly relative)
// may not be followed, or nothing when it may.
std::optional<std::string> refusalForRedirect(const std::string& currentUrl,
                                              const std::string& location,
                                              bool allowPlainHttpToLoopback);

}  // namespace suite::curl
