#pragma once
// Catalog items against the machine: the page's "scanned" answer, and whether one application is
// installed at least at the catalog's version. Both block while receipts are queried.
#include <optional>
#include <vector>

#include "catalog/Detect.h"
#include "common/Json.h"

namespace suite {

// {"type": "scanned", "installed": {id: version}} for the items that have an installed version.
// Items without a string "id" are skipped; a later item with the same id replaces an earlier one.
Json scannedEvent(const std::vector<Json>& items, const DetectPaths& paths);

// Whether an application item is installed at the catalog's "version" or newer. Nothing for an
// item that is not of group "app" or has no version to compare with.
std::optional<bool> isInstalledItem(const Json& item, const DetectPaths& paths);

}  // namespace suite
