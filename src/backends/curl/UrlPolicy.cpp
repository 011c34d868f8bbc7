#include "backends/curl/UrlPolicy.h"

#include "backends/curl/CurlHandles.h"
#include "common/Url.h"

namespace suite::curl {

namespace {

std::optional<std::string> refusalFor(const Url& url, bool allowPlainHttpToLoopback) {
    if (url.scheme == "https") return std::nullopt;
    if (url.scheme == "http") {
        if (!allowPlainHttpToLoopback) return "plain http is not allowed";
        if (isLoopbackHost(url.host)) return std::nullopt;
        return "plain http is allowed to this machine only, not to \"" + url.host + "\"";
    }
    return "the scheme \"" + url.scheme + "\" is not allowed";
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

std::optional<std::string> refusalForUrl(const std::string& url, bool allowPlainHttpToLoopback) {
    auto parsed = parseUrl(url);
    // A bare host is refused too: curl would guess a scheme for it, and guess plain http.
    if (!parsed || !parsed->hasAuthority) return "not an absolute URL";
    return refusalFor(*parsed, allowPlainHttpToLoopback);
}

std::optional<std::string> refusalForRedirect(const std::string& currentUrl,
                                              const std::string& location,
                                              bool allowPlainHttpToLoopback) {
    auto target = redirectTarget(currentUrl, location);
    if (!target) return "redirect refused: the redirect target cannot be read";
    if (auto refusal = refusalForUrl(*target, allowPlainHttpToLoopback)) {
        return "redirect refused: " + *refusal;
    }
    return std::nullopt;
}

}  // namespace suite::curl
