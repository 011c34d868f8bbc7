#pragma once
// What the root helper installs is what the vendor signed, not what the program asks for: the
// kept catalog document and its signature are judged again as root, and each package's digest
// and size come from the document's package of this system's kind for the product the program
// names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/CatalogProducts.h"
#include "catalog/CatalogTrust.h"
#include "common/Json.h"

namespace suite::privileged {

// The members of a product's package the helper holds a copy against.
struct VouchedPackage {
    std::string sha256;  // lower case
    std::uint64_t size = 0;
};

// The document when it was signed by one of `keys` over exactly these bytes and its dates allow
// its use at `now` (no state is kept: rollback is the program's judgement); otherwise why not.
struct CatalogVerdict {
    std::optional<CatalogRefusal> refusal;
    Json document;  // parsed when there is no refusal
};
CatalogVerdict judgeCatalog(const std::vector<std::string>& keys, const std::string& document,
                            const std::string& signature, WallClock now);
// A clock stopped at the document's own "generated" time, by which a document kept for a restore
// is judged: only its signature then decides. The real clock when it names no readable time
// (the judgement refuses such a document anyway).
WallClock clockOfGeneration(const std::string& document);

// Every package of `kind` ("deb", "rpm") the document offers for the product `id`, as the page
// reads them: the first product of that id among the first kMaxCatalogProducts, its
// "packages".<kind> (one package, or a list of them, one per architecture), each with a digest of
// 64 hexadecimal digits and a whole, non-negative size; the others are left out. Empty when it
// offers none.
std::vector<VouchedPackage> vouchedPackages(const Json& document, std::string_view id,
                                            std::string_view kind);

// Only this many products of a document are read, as on the page.
inline constexpr std::size_t kMaxCatalogProducts = 2000;

}  // namespace suite::privileged
