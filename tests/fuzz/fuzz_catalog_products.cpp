// The command line reads the vendor's catalog natively: whatever the document (its signature is
// judged before, but a vendor's mistake is still input), every product it takes is one the page's
// rules would take, once, with a package of the asked kind on the vendor's host.
#include <set>

#include "catalog/CatalogProducts.h"
#include "common/Ascii.h"
#include "common/Url.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const auto parts = suite::fuzz::pieces(data, size, 3);
    const std::string kind = parts[0] == "rpm" ? "rpm" : parts[0] == "pkg" ? "pkg" : "deb";
    const suite::DownloadRules rules{.vendorHost = "brenlow.example"};
    std::set<std::string> ids;
    for (const auto& product :
         suite::hostProducts(suite::parseJson(parts[2]), kind, parts[1], rules)) {
        const auto& item = product.item;
        suite::fuzz::require(ids.insert(item.id).second, "each id once");
        suite::fuzz::require(!item.id.empty() && item.id.size() <= 100, "an id of 1 to 100 bytes");
        suite::fuzz::require(item.sha256.size() == 64, "a digest of 64 digits");
        suite::fuzz::require(suite::lowerAscii(item.file).ends_with("." + kind),
                             "a file of the kind");
        suite::fuzz::require(!product.nameEn.empty() && !product.nameAr.empty(), "both names");
        const auto url = suite::parseUrl(item.urls.at(0));
        suite::fuzz::require(url && suite::hostIsWithin(url->host, rules.vendorHost),
                             "the vendor's address");
    }
    return 0;
}
