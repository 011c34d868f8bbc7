// The page let go while nobody sees it and nothing is under way: the delegate on fakes and the
// manual main queue. Dropping it and waking it for its next check, with WebKit, is the host test's.
#include <gtest/gtest.h>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

using fakes::AppHarness;

constexpr std::int64_t kEpoch = 1'700'000'000;  // the wall clock at the queue's start

AppDelegate& startHidden(AppHarness& h) {
    return h.startWith(
        [&](AppConfig& config) {
            config.wallClock = [&] { return kEpoch + static_cast<std::int64_t>(h.queue.now()); };
        },
        h.http);
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
