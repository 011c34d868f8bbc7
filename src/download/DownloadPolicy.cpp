#include "download/DownloadPolicy.h"

#include <cctype>
#include <string>

#include "common/Url.h"

namespace suite {

namespace {

// A strict dotted-decimal 127.x.y.z; the URL reader has already lower-cased the host and refused
// anything that is not RFC 3986, and the HTTP client judges the address again with curl's reader.
bool isLoopbackIpv4(std::string_view host) {
    int parts = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t end = host.find('.', start);
        if (end == std::string_view::npos) end = host.size();
        std::string_view part = host.substr(start, end - start);
        if (part.empty() || part.size() > 3) return false;
        int value = 0;
        for (char c : part) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255 || (parts == 0 && value != 127)) return false;
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

bool isLoopbackHost(std::string_view host) {
    return host == "localhost" || host == "[::1]" || isLoopbackIpv4(host);
}

}  // namespace

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
