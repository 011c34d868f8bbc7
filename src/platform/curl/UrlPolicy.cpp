#include "platform/curl/UrlPolicy.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

#include "platform/curl/CurlHandles.h"

namespace suite::curl {

namespace {

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::string> part(CURLU* url, CURLUPart which) {
    char* raw = nullptr;
    if (curl_url_get(url, which, &raw, 0) != CURLUE_OK || !raw) return std::nullopt;
    CurlString owned(raw);
    return std::string(owned.get());
}

std::optional<std::string> refusalForParsed(CURLU* url, bool allowPlainHttpToLoopback) {
    const std::string scheme = lowerAscii(part(url, CURLUPART_SCHEME).value_or(""));
    if (scheme == "https") return std::nullopt;
    const std::string host = part(url, CURLUPART_HOST).value_or("");
    if (scheme == "http") {
        if (!allowPlainHttpToLoopback) return "plain http is not allowed";
        if (isLoopbackHost(host)) return std::nullopt;
        return "plain http is allowed to this machine only, not to \"" + host + "\"";
    }
    return "the scheme \"" + scheme + "\" is not allowed";
}

}  // namespace

bool isLoopbackHost(std::string host) {
    host = lowerAscii(std::move(host));
    if (host == "localhost") return true;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

std::optional<std::string> refusalForUrl(const std::string& url, bool allowPlainHttpToLoopback) {
    UrlHandle parsed(curl_url());
    if (!parsed) return "out of memory";
    // Without a scheme curl would guess one (and guess plain http), so a bare host is refused.
    if (curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return "not an absolute URL";
    }
    return refusalForParsed(parsed.get(), allowPlainHttpToLoopback);
}

std::optional<std::string> refusalForRedirect(const std::string& currentUrl,
                                              const std::string& location,
                                              bool allowPlainHttpToLoopback) {
    UrlHandle parsed(curl_url());
    if (!parsed) return "out of memory";
    if (curl_url_set(parsed.get(), CURLUPART_URL, currentUrl.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return "the current URL cannot be read";
    }
    // The same flags curl uses when it follows a Location, so we judge the URL it would fetch.
    const unsigned int followFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE;
    if (curl_url_set(parsed.get(), CURLUPART_URL, location.c_str(), followFlags) != CURLUE_OK) {
        return "the redirect target cannot be read";
    }
    if (auto refusal = refusalForParsed(parsed.get(), allowPlainHttpToLoopback)) {
        return "redirect refused: " + *refusal;
    }
    return std::nullopt;
}

}  // namespace suite::curl
