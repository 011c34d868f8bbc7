#include "common/Json.h"

#include <gtest/gtest.h>

namespace suite {
namespace {

std::string nested(int depth, const std::string& inner = "1") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

// A page message whose text holds half of a UTF-16 pair is still read, that half replaced; whole
// pairs, other escapes and an escaped backslash before "u" are read as they were.
TEST(ParseJson, EngineTextWithALoneSurrogateIsReadWithItReplaced) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"type":"link","note":"a\ud800b"})",
         "a\xEF\xBF\xBD"
         "b"},
        {R"({"type":"link","note":"\udc00"})", "\xEF\xBF\xBD"},
        {R"({"type":"link","note":"\ud800\ud800\udc00"})", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {R"({"type":"link","note":"\\ud800 \" \u00e9"})", "\\ud800 \" \xC3\xA9"},
    };
    for (const auto& [text, note] : cases) {
        const Json body = parseEngineJson(text);
        ASSERT_TRUE(body.is_object()) << text;
        EXPECT_EQ(stringMember(body, "type"), "link") << text;
        EXPECT_EQ(stringMember(body, "note"), note) << text;
    }
    EXPECT_TRUE(parseEngineJson(R"({"note":"\ud8"})").is_discarded());
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
