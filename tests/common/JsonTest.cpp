#include "common/Json.h"

#include <gtest/gtest.h>

namespace suite {
namespace {

std::string nested(int depth, const std::string& inner = "1") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(ParseJson, NestingBeyondTheLimitIsMalformed) {
    struct Case {
        std::string text;
        bool read;
    };
    const Case cases[] = {
        {nested(kMaxJsonDepth), true},
        {nested(kMaxJsonDepth + 1), false},
        {"{\"a\":" + nested(kMaxJsonDepth - 1) + "}", true},
        {"{\"a\":" + nested(kMaxJsonDepth) + ",\"b\":2}", false},
        {nested(2, std::string("\"") + std::string(500, '[') + "\\\"{\""), true},  // in a string: text
        {nested(100000), false},
        {"{\"lang\":\"ar\"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(!parseJson(c.text).is_discarded(), c.read) << c.text.substr(0, 40);
    }
    EXPECT_EQ(parseJson(R"({"lang":"ar","n":[1,{"b":true}]})"),
              Json({{"lang", "ar"}, {"n", {1, {{"b", true}}}}}));
}

}  // namespace
}  // namespace suite
