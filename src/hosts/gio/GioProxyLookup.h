#pragma once
// The desktop's proxy for an address, as GIO's proxy resolver sees it: the desktop's network
// settings, a PAC file through libproxy where GIO uses it, or the environment. Every request of
// the program asks it, so a proxy set only in the desktop's settings is not ignored.
#include <optional>
#include <string>
#include <vector>

namespace suite::gtk {

// The proxy for `url` in curl's terms: "" to connect directly, a proxy address otherwise;
// nothing when GIO cannot tell (curl then goes by the environment as it always would).
// Blocks while a PAC script runs: call it off the main thread.
std::optional<std::string> desktopProxyFor(const std::string& url);

// The first of GIO's answers (best first) that curl can use: "direct://" becomes "", GIO's
// "socks://" (any SOCKS version) becomes SOCKS 5 with the name resolved by the proxy, and a
// scheme curl does not speak is passed over. Nothing when no answer is usable.
std::optional<std::string> curlProxyFrom(const std::vector<std::string>& answers);

}  // namespace suite::gtk
