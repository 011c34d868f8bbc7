#pragma once
// The page's catalog items for an install, read once into typed items held to the download
// rules: an item is taken only when everything its download needs is there and acceptable, so
// nothing past this point looks at the page's JSON again.
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"
#include "platform/InstallItem.h"

namespace suite {

// Where downloads may come from: the vendor host, and, for tests' local servers only, plain
// http to loopback.
struct DownloadRules {
    std::string vendorHost;
    bool allowLoopbackHttp = false;
};

// More mirrors than any vendor needs are not kept: a catalog cannot make one item take hours of
// retries.
inline constexpr std::size_t kMaxMirrors = 4;

// The item, or nothing when it has no id, no acceptable address, no bare file name, no size in
// whole bytes to bound its download by, or no SHA-256 digest to check it against. A mirror that
// is not acceptable is left out, with a line in `notes`; the others may serve.
std::optional<InstallItem> decodeInstallItem(const Json& item, const DownloadRules& rules,
                                             std::vector<std::string>& notes);

// Every item of a request, in order; those that cannot be read are listed by their id.
InstallRequest decodeInstallRequest(const std::vector<Json>& items, const DownloadRules& rules);

}  // namespace suite
