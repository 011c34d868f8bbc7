// The page let go while nobody sees it and nothing is under way, and loaded again for its next
// check or for the user: the delegate on fakes and the manual main queue.
#include <gtest/gtest.h>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

using fakes::AppHarness;
using fakes::FakeHttpClient;

constexpr std::int64_t kEpoch = 1'700'000'000;  // the wall clock at the queue's start

AppDelegate& startHidden(AppHarness& h) {
    return h.startWith(
        [&](AppConfig& config) {
            config.wallClock = [&] { return kEpoch + static_cast<std::int64_t>(h.queue.now()); };
        },
        h.http);
}

std::vector<std::string> typesOf(const std::vector<Json>& events) {
    std::vector<std::string> types;
    for (const auto& event : events) types.push_back(event.value("type", ""));
    return types;
}

TEST(ViewLifetime, DroppedWhenQuietLoadedHiddenAtTheWakeTimeAndShownForTheUser) {
    AppHarness h(false, true);
    AppDelegate& app = startHidden(h);
    app.userContentController({{"type", "ready"}});
    app.userContentController({{"type", "wakeAt"}, {"at", (kEpoch + 3600) * 1000.0}});
    h.queue.advance(29.5);
    ASSERT_NE(app.window(), nullptr) << "quiet for less than 30 s";
    h.queue.advance(1);
    EXPECT_EQ(app.window(), nullptr);
    // Where the host cannot make way for the waiting program, this process waits itself.
    EXPECT_EQ(h.shell.rests, (std::vector<std::optional<double>>{(kEpoch + 3600) * 1000.0}));

    h.queue.advance(3600 - 31);
    EXPECT_EQ(app.window(), nullptr) << "not time yet";
    h.queue.advance(1);
    ASSERT_NE(app.window(), nullptr);
    EXPECT_FALSE(h.window().visible);
    EXPECT_EQ(h.window().web.loaded, std::vector<std::string>{"suite://app/index.html"});
    app.userContentController({{"type", "ready"}});
    EXPECT_EQ(typesOf(h.events()), std::vector<std::string>{"init"});
    h.queue.advance(30.5);
    EXPECT_EQ(app.window(), nullptr) << "dropped again once the page went quiet";

    // The user's answer to a notification shows the window and reaches the page once it is
    // ready; a shown window keeps its page.
    h.notifier.answer("update");
    ASSERT_NE(app.window(), nullptr);
    EXPECT_TRUE(h.window().visible);
    EXPECT_TRUE(h.events().empty());
    app.userContentController({{"type", "ready"}});
    EXPECT_EQ(typesOf(h.events()), (std::vector<std::string>{"init", "notifAction"}));
    EXPECT_EQ(h.events().back()["action"], "update");
    h.queue.advance(600);
    EXPECT_NE(app.window(), nullptr);
}

TEST(ViewLifetime, WorkUnderWayOrALoadingPageKeepsItAndAShowcaseNeverDropsIt) {
    const Json item = {{"id", "a"},
                       {"url", "https://downloads.brenlow.example/a.pkg"},
                       {"file", "a.pkg"},
                       {"size", 1000},
                       {"sha256", std::string(64, 'a')}};
    const Json ready = {{"type", "ready"}};
    struct Case {
        const char* name;
        Json actions;                          // what the page posts
        std::function<void(AppHarness&)> end;  // nothing: the page stays for good
    } cases[] = {
        {"page loading", Json::array(),
         [&](AppHarness& h) { h.delegate->userContentController(ready); }},
        {"install",
         {ready, {{"type", "install"}, {"items", {item}}}},
         [](AppHarness& h) {
             h.delegate->userContentController({{"type", "cancel"}});
         }},
        {"feedback upload",
         {ready, {{"type", "sendFeedback"}, {"data", Json::object()}}},
         [](AppHarness& h) { h.http.answer(0, FakeHttpClient::failure(TransportError::Other)); }},
        {"showcase", {ready}, nullptr},
    };
    for (auto& c : cases) {
        AppHarness h(c.end == nullptr, true);
        AppDelegate& app = startHidden(h);
        for (const auto& action : c.actions) app.userContentController(action);
        h.queue.advance(300);
        ASSERT_NE(app.window(), nullptr) << c.name;
        if (!c.end) continue;
        c.end(h);
        h.queue.runReady();
        h.queue.advance(31);
        EXPECT_EQ(app.window(), nullptr) << c.name << ": dropped once it ended";
    }
}

}  // namespace
}  // namespace suite
