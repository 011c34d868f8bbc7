#pragma once
// What the web view may load, and which addresses the page may hand to the system.
#include <optional>
#include <string>
#include <string_view>

namespace suite {

// The navigation decision: true only for the "suite" scheme (exact, case-sensitive comparison
// with the text before the first ':'). Web, file, blank and every other address are cancelled.
bool allowNavigation(const std::string& uri);

// The address to hand to the system for the bridge action "link", or nothing when it is refused.
// Only an http or https URL that parses strictly (common/Url.h) and whose host is `vendorHost`
// or a name under it is handed over; it comes back unchanged.
std::optional<std::string> linkToOpen(const std::string& url, std::string_view vendorHost);

}  // namespace suite
