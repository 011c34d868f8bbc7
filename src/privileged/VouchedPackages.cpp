#include "privileged/VouchedPackages.h"

#include "common/Ascii.h"
#include "platform/InstallerRecords.h"

namespace suite::privileged {

CatalogVerdict judgeCatalog(const std::vector<std::string>& keys, const std::string& document,
                            const std::string& signature, WallClock now) {
    // No state file: the newest date seen is the program's to keep, and the helper runs too
    // seldom to keep one of its own.
    CatalogTrust trust(keys, {}, std::move(now));
    if (auto admitted = trust.admit(document, signature); !admitted) return {admitted.error(), {}};
    Json parsed = parseJson(document);
    if (!parsed.is_object()) return {CatalogRefusal::Malformed, {}};
    return {std::nullopt, std::move(parsed)};
}

WallClock clockOfGeneration(const std::string& document) {
    const auto generated =
        parseUtcTime(stringMember(parseJson(document), "generated").value_or(""));
    if (!generated) return systemSeconds;
    return [at = *generated] { return at; };
}

std::vector<VouchedPackage> vouchedPackages(const Json& document, std::string_view id,
                                            std::string_view kind) {
    std::vector<VouchedPackage> vouched;
    const auto products = document.find("products");
    if (products == document.end() || !products->is_array()) return vouched;
    std::size_t read = 0;
    for (const auto& product : *products) {
        if (read++ == kMaxCatalogProducts) break;
        if (stringMember(product, "id") != id) continue;
        const Json offered = objectMemberOrEmpty(product, "packages").value(kind, Json());
        // Not picked by architecture: the digest alone says which of the vendor's packages a
        // file is, and the helper holds its architecture to what this machine takes.
        for (const Json& variant : offered.is_array() ? offered : Json::array({offered})) {
            const auto digest = lowerAscii(stringMember(variant, "sha256").value_or(""));
            const auto size = variant.is_object() ? variant.find("size") : variant.end();
            if (isSha256Hex(digest) && size != variant.end() && size->is_number_integer() &&
                *size >= 0) {
                vouched.push_back({digest, size->get<std::uint64_t>()});
            }
        }
        break;
    }
    return vouched;
}

}  // namespace suite::privileged
