#include <gtest/gtest.h>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

Json notifAction(const std::string& action) {
    return Json{{"type", "notifAction"}, {"action", action}};
}

// A program started in the background: no window on screen, so notifications are shown.
struct BackgroundApp {
    BackgroundApp() : h(false, true) { h.start(); }
    AppDelegate& app() { return *h.delegate; }
    fakes::AppHarness h;
};

TEST(Notifications, ShownOnlyWhenTheUserIsNotLookingAtTheWindow) {
    fakes::AppHarness h;
    auto& app = h.start();
    const Json message = {{"type", "notify"}, {"title", "Updates"}};
    app.userContentController(message);
    EXPECT_EQ(h.notifier.shows, 0) << "window visible and active";

    h.window().focused = false;
    app.userContentController(message);
    EXPECT_EQ(h.notifier.shows, 1) << "window visible but another program is active";

    h.window().hide();
    app.userContentController(message);
    EXPECT_EQ(h.notifier.shows, 2);
    EXPECT_EQ(h.notifier.shown.size(), 1u) << "every notification must replace the previous one";
    EXPECT_TRUE(h.notifier.shown.count("suite-update"));
}

TEST(Notifications, AnswersReachThePageAndTheWindow) {
    struct Case {
        std::string action;
        bool windowShown;
        std::vector<Json> events;
    } cases[] = {
        {"later", false, {notifAction("later")}},
        {kNotificationClicked, true, {}},
        {"update", true, {notifAction("update")}},
    };
    for (const auto& c : cases) {
        BackgroundApp b;
        ASSERT_TRUE(b.h.notifier.answer);
        const auto before = b.h.events().size();
        b.h.notifier.answer(c.action);
        EXPECT_EQ(b.h.window().visible, c.windowShown) << "answer \"" << c.action << "\"";
        EXPECT_EQ(b.h.shell.policies.back() == ActivationPolicy::Regular, c.windowShown);
        const auto all = b.h.events();
        std::vector<Json> events(all.begin() + static_cast<long>(before), all.end());
        EXPECT_EQ(events, c.events) << "answer \"" << c.action << "\"";
    }  // The waiting program's answer comes with the launch, and reaches the page once it is ready.
    fakes::AppHarness h;
    h.launch.notificationAnswer = "update";
    h.start();
    EXPECT_TRUE(h.window().visible);
    h.delegate->userContentController({{"type", "ready"}});
    EXPECT_EQ(h.events().back(), notifAction("update"));
}

TEST(Notifications, NeverInDemoModeAndNotAfterTheProgramIsGone) {
    fakes::AppHarness demo(true, true);
    demo.start().userContentController({{"type", "notify"}});
    EXPECT_EQ(demo.notifier.shows, 0);
    EXPECT_FALSE(demo.notifier.answer) << "a showcase run does not listen for answers";

    BackgroundApp b;
    auto answer = b.h.notifier.answer;
    b.h.delegate.reset();
    answer("update");  // a late answer from the desktop must not reach a destroyed delegate
    EXPECT_EQ(b.h.notifier.shows, 0);
}

}  // namespace
}  // namespace suite
