#pragma once
// The one table of version pairs (tests/fixtures/version-order.json) that the page's rules and the
// native ones are both checked against, one list per package kind.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/Json.h"

namespace suite::fakes {

// Checks `compare` against every pair of `kind`'s list, both ways round.
template <typename Compare>
void expectVersionTableOrder(const char* kind, Compare compare) {
    std::ifstream in(SUITE_FIXTURES_DIR "/version-order.json");
    const Json table = Json::parse(in).at(kind);
    ASSERT_GT(table.size(), 10u) << kind;
    const auto sign = [](int n) { return (n > 0) - (n < 0); };
    for (const auto& row : table) {
        const auto a = row.at(0).get<std::string>(), b = row.at(1).get<std::string>();
        const int expected = row.at(2).get<int>();
        EXPECT_EQ(sign(compare(a, b)), expected) << kind << ": " << a << " vs " << b;
        EXPECT_EQ(sign(compare(b, a)), -expected) << kind << ": " << b << " vs " << a;
    }
}

}  // namespace suite::fakes
