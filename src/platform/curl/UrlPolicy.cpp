#include "platform/curl/UrlPolicy.h"

#include "common/Ascii.h"
#include "common/Url.h"
#include "platform/curl/CurlHandles.h"

namespace suite::curl {

namespace {

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
