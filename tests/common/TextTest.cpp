// The text rules every reader of outside bytes shares.
#include <gtest/gtest.h>

#include "common/Utf8.h"

namespace suite {
namespace {

TEST(Utf8, WellFormedOnlyWithoutOverlongsSurrogatesOrCodesPastTheLast) {
    for (const char* good : {"plain", "\xC2\xA0", "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(isValidUtf8(good)) << good;
    for (const char* bad :
         {"\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    EXPECT_EQ(decodeUtf8At("a\xD8\xB9", 1).code, U'\u0639');
    EXPECT_EQ(decodeUtf8At("a\xD8\xB9", 1).length, 2u);
}

}  // namespace
}  // namespace suite
