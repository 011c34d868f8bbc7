#pragma once
// Which addresses the client may talk to: https anywhere, plain http only to this machine and
// only when a test asked for it. Addresses are read by the program's one strict URL reader, which
// refuses anything two readers could take apart differently, so the host judged here is the host
// curl connects to.
#include <string>

#include "common/Expected.h"

namespace suite::curl {

// Whether the client may talk to an address; when not, why.
using Permission = Expected<void, std::string>;

// Whether `url` may be fetched.
Permission permitUrl(const std::string& url, bool allowPlainHttpToLoopback);

// Whether a redirect from `currentUrl` to `location` (a Location header value, possibly
// relative) may be followed.
Permission permitRedirect(const std::string& currentUrl, const std::string& location,
                          bool allowPlainHttpToLoopback);

}  // namespace suite::curl
