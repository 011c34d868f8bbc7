#include "download/DownloadPolicy.h"

#include <string>

#include "common/Url.h"

namespace suite {

bool isAcceptableDownloadUrl(std::string_view text, std::string_view vendorHost,
                             bool allowLoopbackHttp) {
    auto url = parseUrl(text);
    if (!url || !hostIsWithin(url->host, vendorHost)) return false;
    if (url->scheme == "https") return true;
    return url->scheme == "http" && allowLoopbackHttp && isLoopbackHost(url->host);
}

bool isAcceptableFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace suite
