#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/Actions.h"
#include "bridge/Events.h"

namespace suite::bridge {
namespace {

template <class T>
const T* as(const std::optional<Action>& action) {
    return action ? std::get_if<T>(&*action) : nullptr;
}

TEST(DecodeAction, MalformedBodiesAreIgnored) {
    for (const Json& body : {Json("ready"), Json::array({"ready"}), Json::object(), Json(nullptr),
                             Json{{"type", 1}}, Json{{"type", "Ready"}}, Json{{"type", "nope"}},
                             Json{{"kind", "ready"}}}) {
        EXPECT_FALSE(decodeAction(body, false)) << body;
    }
}

TEST(DecodeAction, FallbacksForMissingOrMistypedMembers) {
    EXPECT_TRUE(as<FetchCatalog>(decodeAction({{"type", "fetchCatalog"}}, false))->urls.empty());
    EXPECT_TRUE(as<FetchCatalog>(decodeAction({{"type", "fetchCatalog"}, {"urls", {"a", 1}}}, false))
                    ->urls.empty());
    EXPECT_EQ(as<FetchCatalog>(decodeAction({{"type", "fetchCatalog"}, {"urls", {"a", "b"}}}, false))
                  ->urls,
              (std::vector<std::string>{"a", "b"}));

    EXPECT_TRUE(as<Scan>(decodeAction({{"type", "scan"}, {"apps", {{{"id", "x"}}, 3}}}, false))
                    ->apps.empty());
    EXPECT_EQ(as<Scan>(decodeAction({{"type", "scan"}, {"apps", {{{"id", "x"}}}}}, false))->apps.size(),
              1u);
    EXPECT_TRUE(as<Install>(decodeAction({{"type", "install"}, {"items", "x"}}, false))->items.empty());
    EXPECT_EQ(as<Open>(decodeAction({{"type", "open"}, {"detect", {1}}}, false))->detect,
              Json::object());
    EXPECT_FALSE(as<SetLoginItem>(decodeAction({{"type", "setLoginItem"}}, false))->on);
    EXPECT_FALSE(as<SetLoginItem>(decodeAction({{"type", "setLoginItem"}, {"on", "true"}}, false))->on);
    EXPECT_TRUE(as<SetLoginItem>(decodeAction({{"type", "setLoginItem"}, {"on", true}}, false))->on);

    // Required members: without them the action does nothing at all.
    EXPECT_FALSE(decodeAction({{"type", "link"}, {"url", 5}}, false));
    EXPECT_FALSE(decodeAction({{"type", "save"}}, false));
    EXPECT_FALSE(decodeAction({{"type", "save"}, {"settings", {1, 2}}}, false));
    EXPECT_EQ(as<Save>(decodeAction({{"type", "save"}, {"settings", Json::object()}}, false))->settings,
              Json::object());

    // The whole body travels for these, "type" included.
    Json notify = {{"type", "notify"}, {"title", "T"}};
    EXPECT_EQ(as<Notify>(decodeAction(notify, false))->body, notify);
    Json feedback = {{"type", "sendFeedback"}, {"data", 3}};
    EXPECT_EQ(as<SendFeedback>(decodeAction(feedback, false))->body, feedback);
}

TEST(DecodeAction, DemoModeIgnoresActionsThatTouchTheMachine) {
    const Json full = {{"url", "https://brenlow.example/"}, {"settings", Json::object()},
                       {"on", true},  {"urls", Json::array()}};
    for (const char* ignored : {"install", "open", "save", "notify", "setLoginItem", "sendFeedback"}) {
        Json body = full;
        body["type"] = ignored;
        EXPECT_FALSE(decodeAction(body, true)) << ignored;
        EXPECT_TRUE(decodeAction(body, false)) << ignored;
    }
    for (const char* carried : {"ready", "fetchCatalog", "scan", "link", "pickFiles"}) {
        Json body = full;
        body["type"] = carried;
        EXPECT_TRUE(decodeAction(body, true)) << carried;
    }
}

TEST(Events, InitCarriesTheLaunchAndSystemValues) {
    InitValues values;
    values.platform = "linux";
    values.version = "2.0.1";
    values.demo = true;
    values.settings = Json::object();
    values.preferredLanguages = {"ar-EG", "en"};
    values.osDark = true;
    values.reduceMotion = true;
    Json event = initEvent(values);
    EXPECT_EQ(event, Json({{"type", "init"}, {"platform", "linux"}, {"version", "2.0.1"},
                           {"demo", true}, {"settings", nullptr}, {"osLang", "ar-EG"},
                           {"osDark", true}, {"reduceMotion", true}}));

    values.settings = {{"lang", "en"}};
    values.preferredLanguages.clear();
    event = initEvent(values);
    EXPECT_EQ(event["settings"], Json({{"lang", "en"}}));
    EXPECT_EQ(event["osLang"], "en");
}

TEST(Events, ScriptWrapsCompactJsonOrDropsTheEvent) {
    auto script = eventScript({{"type", "checkNow"}, {"text", "a\"b</script>\u2028"}});
    ASSERT_TRUE(script);
    EXPECT_EQ(script->rfind("window.Suite && Suite.receive({", 0), 0u);
    EXPECT_EQ(script->back(), ')');
    EXPECT_EQ(script->find('\n'), std::string::npos);
    Json back = Json::parse(script->substr(30, script->size() - 31));
    EXPECT_EQ(back["text"], "a\"b</script>\u2028");

    EXPECT_FALSE(eventScript({{"type", "x"}, {"v", std::numeric_limits<double>::quiet_NaN()}}));
    EXPECT_FALSE(eventScript({{"type", "x"}, {"v", {1.0, std::numeric_limits<double>::infinity()}}}));
    EXPECT_FALSE(eventScript({{"type", "x"}, {"v", std::string("\xc3\x28")}}));
}

}  // namespace
}  // namespace suite::bridge
