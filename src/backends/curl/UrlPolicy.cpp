#include "backends/curl/UrlPolicy.h"

#include "backends/curl/CurlHandles.h"
#include "common/Url.h"

#include <optional>

namespace suite::curl {

namespace {

Permission permitParsed(const Url& url, bool allowPlainHttpToLoopback) {
    if (url.scheme == "https") return {};
    if (url.scheme == "http") {
        if (!allowPlainHttpToLoopback) return unexpected<std::string>("plain http is not allowed");
        if (isLoopbackHost(url.host)) return {};
        return unexpected("plain http is allowed to this machine only, not to \"" + url.host +
                          "\"");
    }
    return unexpected("the scheme \"" + url.scheme + "\" is not allowed");
}

// The absolute address curl goes to when it follows `location` from `currentUrl`: curl resolves
// it, with the flags it uses itself when following, so the address judged is the one fetched.
std::optional<std::string> redirectTarget(const std::string& currentUrl,
                                          const std::string& location) {
    UrlHandle parsed(curl_url());
    if (!parsed) return std::nullopt;
    const unsigned int followFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE;
    if (curl_url_set(parsed.get(), CURLUPART_URL, currentUrl.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_set(parsed.get(), CURLUPART_URL, location.c_str(), followFlags) != CURLUE_OK) {
        return std::nullopt;
    }
    char* raw = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_URL, &raw, 0) != CURLUE_OK || !raw) {
        return std::nullopt;
    }
    CurlString owned(raw);
    return std::string(owned.get());
}

}  // namespace

Permission permitUrl(const std::string& url, bool allowPlainHttpToLoopback) {
    auto parsed = parseUrl(url);
    // A bare host is refused too: curl would guess a scheme for it, and guess plain http.
    if (!parsed || !parsed->hasAuthority) return unexpected<std::string>("not an absolute URL");
    return permitParsed(*parsed, allowPlainHttpToLoopback);
}

Permission permitRedirect(const std::string& currentUrl, const std::string& location,
                          bool allowPlainHttpToLoopback) {
    auto target = redirectTarget(currentUrl, location);
    if (!target)
        return unexpected<std::string>("redirect refused: the redirect target cannot be read");
    auto permitted = permitUrl(*target, allowPlainHttpToLoopback);
    if (!permitted) return unexpected("redirect refused: " + permitted.error());
    return {};
}

}  // namespace suite::curl
