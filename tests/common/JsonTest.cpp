#include "common/Json.h"

#include <gtest/gtest.h>

namespace suite {
namespace {

std::string nested(int depth, const std::string& inner = "1") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

// Settings, the page's messages and the window size read through parseJson; their own tests
// show that a refused text is handled as a broken one.
TEST(ParseJson, NestingBeyondTheLimitIsMalformed) {
    const std::pair<std::string, bool> cases[] = {
        {nested(kMaxJsonDepth), true},
        {"{\"a\":" + nested(kMaxJsonDepth - 1) + "}", true},
        {nested(kMaxJsonDepth + 1), false},
        {"{\"a\":" + nested(kMaxJsonDepth) + ",\"b\":2}", false},
        {nested(100000), false},
        {nested(2, std::string("\"") + std::string(500, '[') + "\\\"{\""),
         true},  // in a string: text
        {"{\"lang\":\"ar\"", false},
    };
    for (const auto& [text, read] : cases) {
        EXPECT_EQ(!parseJson(text).is_discarded(), read) << text.substr(0, 40);
    }
}

}  // namespace
}  // namespace suite
