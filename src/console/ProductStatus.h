#pragma once
// Where each product the catalog offers this computer stands, as the products view shows it, and
// the two ways the command line lists them: a table for people, JSON for scripts.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Policy.h"
#include "catalog/CatalogProducts.h"
#include "common/Json.h"
#include "platform/PackageSystem.h"

namespace suite::console {

enum class ProductState {
    Missing,  // no installed version found
    Update,   // installed, older than the catalog's
    Current,  // installed, the catalog's version or newer
    Held,     // the catalog's version is one the administrator's policy keeps out
};

struct ProductStatus {
    CatalogProduct product;
    std::optional<std::string> installed = {};
    ProductState state = ProductState::Missing;
};

// The products the policy shows, in catalog order, with the installed versions a scan found (by
// id) ordered against the catalog's by the host's rules.
std::vector<ProductStatus> productStatuses(std::vector<CatalogProduct> products,
                                           const std::map<std::string, std::string>& installed,
                                           const PackageSystem& packages,
                                           const std::optional<Policy>& policy);

// The product's name in the interface language.
const std::string& productName(const CatalogProduct& product, bool arabic);

// The page's word for a state: "missing", "update", "current"; and "held".
const char* stateWord(ProductState state);

// {"products": [{"id", "name", "group", "installed" (null when none), "available", "state"}]},
// names in the interface language.
Json listJson(const std::vector<ProductStatus>& statuses, bool arabic);
// The same as aligned columns under a head, one product a line.
std::string listTable(const std::vector<ProductStatus>& statuses, bool arabic);

}  // namespace suite::console
