#pragma once
// How a Linux package system reads an item's "detect" object: its "receipts" name packages of
// that system, the first one installed gives the product's version, and its "desktop" names the
// desktop entry that starts the product.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"

namespace suite {

// The item's receipts that `isName` takes as package names, in order.
std::vector<std::string> receiptNames(const Json& item,
                                      const std::function<bool(std::string_view)>& isName);

// For each item, the version of the first of its receipts found installed; `installed` answers,
// in one look at the database, the versions of the packages of the names it is given.
std::vector<std::optional<std::string>> versionsOfFirstReceipts(
    const std::vector<Json>& items, const std::function<bool(std::string_view)>& isName,
    const std::function<std::map<std::string, std::string>(const std::set<std::string>&)>&
        installed);

// "detect"."desktop" when it is a desktop file id as the desktop names entries: "name.desktop",
// its name of ASCII letters, digits, "-", "_" and "." (a "-" also stands for a subfolder).
// Anything else, a path above all, is not something the catalog may have the program start.
std::optional<std::string> desktopEntryOf(const Json& detect);

}  // namespace suite
