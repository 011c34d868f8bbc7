#pragma once
// The catalog's products as a host that installs one kind of package on one architecture sees
// them, read natively for the command line by the rules the page holds a document to
// (web/js/catalog.js): a product that breaks one is left out and the others are kept, and of a
// product's packages of the kind, the first usable one built for this machine is taken.
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"
#include "download/InstallItems.h"
#include "platform/InstallItem.h"

namespace suite {

struct CatalogProduct {
    std::string nameEn, nameAr;
    InstallItem item;  // what installing it downloads, verifies and installs
};

// A product id as the catalog writes them: 1 to 100 of a-z, 0-9, "." and "-".
bool isProductId(std::string_view id);

// The products of `document` (a parsed catalog) that have a usable package of `kind` ("deb",
// "rpm", "pkg") for `arch` ("" takes a product's first), in catalog order; package addresses
// held to `rules`. Empty for a document the page would refuse whole.
std::vector<CatalogProduct> hostProducts(const Json& document, std::string_view kind,
                                         std::string_view arch, const DownloadRules& rules);

}  // namespace suite
