#include "bridge/NavigationPolicy.h"

#include "common/Url.h"

namespace suite {

bool allowNavigation(const std::string& uri) {
    std::size_t colon = uri.find(':');
    if (colon == std::string::npos) return false;
    return std::string_view(uri).substr(0, colon) == "suite";
}

std::optional<std::string> linkToOpen(const std::string& url, std::string_view vendorHost) {
    std::optional<Url> parsed = parseUrl(url);
    if (!parsed || !parsed->hasAuthority || parsed->host.empty()) return std::nullopt;
    // Only web links: a "file:", "ftp:" or custom-scheme address on the vendor's host would start
    // a local program of the system's choosing, not the browser.
    if (parsed->scheme != "http" && parsed->scheme != "https") return std::nullopt;
    if (!hostIsWithin(parsed->host, vendorHost)) return std::nullopt;
    return url;
}

}  // namespace suite
