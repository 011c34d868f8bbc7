#include <gtest/gtest.h>

#include "backends/rpm/RpmVersion.h"
#include "fakes/VersionTable.h"

namespace suite::rpm {
namespace {

// The same table the page's own "rpm" rule is checked against; here librpm, rpm's rules as code,
// vouches for the table itself.
TEST(RpmVersion, VersionsOrderAsRpmOrdersThem) {
    fakes::expectVersionTableOrder(
        "rpm", [](const std::string& a, const std::string& b) { return compareRpmVersions(a, b); });
    // Text rpm cannot read as a version orders before any it can, as the page's rule has it.
    EXPECT_LT(compareRpmVersions("", "0"), 0);
    EXPECT_EQ(compareRpmVersions("", ""), 0);
}

}  // namespace
}  // namespace suite::rpm
