#include "hosts/gio/GioProxyLookup.h"

#include <gio/gio.h>

#include <string_view>

namespace suite::gtk {

std::optional<std::string> curlProxyFrom(const std::vector<std::string>& answers) {
    static constexpr std::string_view kSpoken[] = {"http://",    "https://",  "socks4://",
                                                   "socks4a://", "socks5://", "socks5h://"};
    for (const auto& answer : answers) {
        const std::string_view text = answer;
        if (text == "direct://") return std::string();
        if (text.starts_with("socks://")) return "socks5h://" + answer.substr(8);
        for (const auto scheme : kSpoken) {
            if (text.starts_with(scheme) && text.size() > scheme.size()) return answer;
        }
    }
    return std::nullopt;
}

std::optional<std::string> desktopProxyFor(const std::string& url) {
    GProxyResolver* resolver = g_proxy_resolver_get_default();
    if (!resolver || !g_proxy_resolver_is_supported(resolver)) return std::nullopt;
    GError* error = nullptr;
    gchar** found = g_proxy_resolver_lookup(resolver, url.c_str(), nullptr, &error);
    if (!found) {
        g_warning("TALVEN Suite: no proxy answer for %s: %s", url.c_str(),
                  error ? error->message : "unknown error");
        g_clear_error(&error);
        return std::nullopt;
    }
    std::vector<std::string> answers;
    for (gchar** answer = found; *answer; ++answer) answers.emplace_back(*answer);
    g_strfreev(found);
    return curlProxyFrom(answers);
}

}  // namespace suite::gtk
