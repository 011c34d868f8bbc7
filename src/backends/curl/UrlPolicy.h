#pragma once
// Which addresses the client may talk to: https anywhere, plain http only to this machine and
// only when a test asked for it. Addresses are read by the program's one strict URL reader, which
// refuses anything two readers could take apart differently, so the host judged here is the host
// curl connects to.
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
