#pragma once
// Catalog items against the machine: the page's "scanned" answer, and whether one product is
// installed at least at the catalog's version. Both block while the host's package database is
// read.
#include <optional>
#include <vector>

#include "common/Json.h"
#include "platform/PackageSystem.h"

namespace suite {

// {"type": "scanned", "installed": {id: version}} for the items that have an installed version.
// Items without a string "id" are skipped; a later item with the same id replaces an earlier one.
Json scannedEvent(const std::vector<Json>& items, const PackageSystem& packages);

// Whether detection finds `item` at its catalog "version" or newer. Nothing when the item has no
// version to compare with.
std::optional<bool> installedAtCatalogVersion(const Json& item, const PackageSystem& packages);
// The same for each of `items`, from one look at the machine.
std::vector<std::optional<bool>> installedAtCatalogVersions(const std::vector<Json>& items,
                                                            const PackageSystem& packages);

}  // namespace suite
