#include <gtest/gtest.h>

#include "catalog/VersionCompare.h"

namespace suite {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(VersionCompare, OrdersAsPeopleReadVersions) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},
        {"1.10", "1.9", 1},
        {"2.0", "2.0.1", -1},
        {"2.0", "2.0.0", -1},  // the shorter string orders first
        {"3.1.9", "3.2", -1},
        {"10.0", "9.9.9", 1},
        {"1.01", "1.1", 0},    // equal numbers, the comparison goes on after them
        {"007", "7", 0},
        {"", "", 0},
        {"", "0", -1},
        {"1.0b3", "1.0b10", -1},
        {"1.0", "1.0a", -1},
        {"1.0.", "1.0", 1},
        {"1.0-1", "1.0.1", -1},  // '-' sorts before '.'
        {"A", "a", -1},          // no case folding
        {"1a", "10", -1},        // whole runs compare: 1 against 10, before the letter
        {"1.2", "1.x", -1},      // a digit against another character compares as a byte
        {"1.\xc3\xa9", "1.z", 1},  // UTF-8 bytes follow code point order
        // Digit runs far beyond any integer type.
        {"1.99999999999999999999999999999", "1.100000000000000000000000000000", -1},
        {"1.000000000000000000000000000002", "1.2", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compareVersions(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(compareVersions(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

}  // namespace
}  // namespace suite
