// The text rules every reader of outside bytes shares.
#include <gtest/gtest.h>

#include "common/Ascii.h"
#include "common/Utf8.h"

namespace suite {
namespace {

TEST(Utf8, WellFormedOnlyWithoutOverlongsSurrogatesOrCodesPastTheLast) {
    for (const char* good : {"", "plain", "\xC2\xA0", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A",
                             "\xEF\xBF\xBD", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(isValidUtf8(good)) << good;
    for (const char* bad :
         {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x80\x80\xAF",
          "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC2", "\xE2\x82", "a\xFF"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    EXPECT_EQ(decodeUtf8At("a\xD8\xB9", 1).code, U'\u0639');
    EXPECT_EQ(decodeUtf8At("a\xD8\xB9", 1).length, 2u);
}

TEST(Ascii, CaseOfLettersOnly) {
    EXPECT_EQ(lowerAscii("Brenlow.EXAMPLE-\xC3\x89"), "brenlow.example-\xC3\x89");
    EXPECT_TRUE(equalsIgnoringAsciiCase("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("Content-Length", "Content-Lengt"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"));
}

}  // namespace
}  // namespace suite
