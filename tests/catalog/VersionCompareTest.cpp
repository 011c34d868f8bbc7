#include <gtest/gtest.h>

#include <fstream>

#include "catalog/VersionCompare.h"
#include "common/Json.h"

namespace suite {
namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

// The page checks its own rule against the same table (tests/fixtures/version-order.json).
TEST(VersionCompare, OrdersAsPeopleReadVersions) {
    std::ifstream in(SUITE_FIXTURES_DIR "/version-order.json");
    const Json table = Json::parse(in);
    ASSERT_GT(table.at("pkg").size(), 10u);
    for (const auto& row : table.at("pkg")) {
        const auto a = row.at(0).get<std::string>(), b = row.at(1).get<std::string>();
        const int expected = row.at(2).get<int>();
        EXPECT_EQ(sign(compareVersions(a, b)), expected) << a << " vs " << b;
        EXPECT_EQ(sign(compareVersions(b, a)), -expected) << b << " vs " << a;
    }
}

}  // namespace
}  // namespace suite
