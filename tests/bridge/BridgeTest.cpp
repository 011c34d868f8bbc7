#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/Actions.h"
#include "bridge/Events.h"
#include "fakes/FakePlatform.h"

namespace suite::bridge {
namespace {

template <class T>
const T* as(const std::optional<Action>& action) {
    return action ? std::get_if<T>(&*action) : nullptr;
}

TEST(DecodeAction, MalformedBodiesAreIgnored) {
    for (const Json& body :
         {Json("ready"), Json::object(), Json{{"type", 1}}, Json{{"type", "Ready"}}}) {
        EXPECT_FALSE(decodeAction(body, false)) << body;
    }
}

// Well-formed lists reach the catalog and the scan in every flow; here what a mistyped one becomes.
TEST(DecodeAction, FallbacksForMissingOrMistypedMembers) {
    auto decode = [](Json body) { return decodeAction(body, false); };
    EXPECT_TRUE(
        as<FetchCatalog>(decode({{"type", "fetchCatalog"}, {"urls", {"a", 1}}}))->urls.empty());
    EXPECT_TRUE(as<Install>(decode({{"type", "install"}, {"items", "x"}}))->request.items.empty());
    EXPECT_FALSE(as<SetLoginItem>(decode({{"type", "setLoginItem"}, {"on", "true"}}))->on);

    // Required members: without them the action does nothing at all.
    for (const Json& body :
         {Json{{"type", "link"}, {"url", 5}}, Json{{"type", "save"}},
          Json{{"type", "save"}, {"settings", {1, 2}}}, Json{{"type", "stopWaiting"}, {"id", 5}}})
        EXPECT_FALSE(decode(body)) << body;
}

TEST(DecodeAction, DemoModeIgnoresActionsThatTouchTheMachine) {
    const Json full = {{"url", "https://brenlow.example/"},
                       {"settings", Json::object()},
                       {"on", true},
                       {"urls", Json::array()},
                       {"id", "a"}};
    for (const char* ignored : {"install", "cancel", "stopWaiting", "open", "notify",
                                "setLoginItem", "sendFeedback", "openLog"}) {
        Json body = full;
        body["type"] = ignored;
        EXPECT_FALSE(decodeAction(body, true)) << ignored;
        EXPECT_TRUE(decodeAction(body, false)) << ignored;
    }
    for (const char* carried : {"ready", "fetchCatalog", "scan", "link", "pickFiles", "save"}) {
        Json body = full;
        body["type"] = carried;
        EXPECT_TRUE(decodeAction(body, true)) << carried;
    }
}

TEST(Events, ScriptWrapsCompactJsonOrDropsTheEvent) {
    auto script = eventScript({{"type", "checkNow"}, {"text", "a\"b</script>\u2028"}});
    ASSERT_TRUE(script);  // its frame is what the delegate tests read their events from
    EXPECT_EQ(script->find('\n'), std::string::npos);
    EXPECT_EQ(fakes::eventIn(*script).value_or(Json())["text"], "a\"b</script>\u2028");

    EXPECT_FALSE(eventScript({{"type", "x"}, {"v", std::numeric_limits<double>::quiet_NaN()}}));
    EXPECT_FALSE(eventScript({{"type", "x"}, {"v", std::string("\xc3\x28")}}));
}

}  // namespace
}  // namespace suite::bridge
