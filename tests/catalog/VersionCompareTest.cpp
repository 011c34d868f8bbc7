#include <gtest/gtest.h>

#include "catalog/VersionCompare.h"
#include "fakes/VersionTable.h"

namespace suite {
namespace {

// The page checks its own rule against the same table.
TEST(VersionCompare, OrdersAsPeopleReadVersions) {
    fakes::expectVersionTableOrder(
        "pkg", [](const std::string& a, const std::string& b) { return compareVersions(a, b); });
}

}  // namespace
}  // namespace suite
