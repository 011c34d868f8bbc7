// Every version order is an order: a version equals itself, and swapping the two sides swaps
// the answer, whatever bytes the catalog or the package database hold.
#include "backends/debian/DpkgDatabase.h"
#include "backends/rpm/RpmVersion.h"
#include "catalog/VersionCompare.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using suite::fuzz::require;
    using suite::fuzz::sign;
    const auto both = suite::fuzz::pieces(data, size, 2);
    const std::string& a = both[0];
    const std::string& b = both[1];
    require(suite::compareVersions(a, a) == 0, "pkg: a version equals itself");
    require(sign(suite::compareVersions(a, b)) == -sign(suite::compareVersions(b, a)),
            "pkg: swapping the sides swaps the answer");
    require(suite::debian::compareDebianVersions(a, a) == 0, "deb: a version equals itself");
    require(sign(suite::debian::compareDebianVersions(a, b)) ==
                -sign(suite::debian::compareDebianVersions(b, a)),
            "deb: swapping the sides swaps the answer");
    require(suite::rpm::compareRpmVersions(a, a) == 0, "rpm: a version equals itself");
    require(
        sign(suite::rpm::compareRpmVersions(a, b)) == -sign(suite::rpm::compareRpmVersions(b, a)),
        "rpm: swapping the sides swaps the answer");
    return 0;
}
