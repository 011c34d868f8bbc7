#include <gtest/gtest.h>

#include <fstream>

#include "app/AppDelegate.h"
#include "app/Settings.h"
#include "app/WindowRules.h"
#include "fakes/AppHarness.h"

namespace suite {
namespace {

using namespace fakes;

using Harness = AppHarness;

TEST(AppDelegateLaunch, NormalStartShowsTheWindowWithItsPage) {
    Harness h;
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.start();
    EXPECT_EQ(app.settings(), Json({{"lang", "ar"}}));
    ASSERT_EQ(h.shell.menuBars.size(), 1u);
    EXPECT_EQ(h.shell.menuBars[0].menus[1].title, "تحرير");  // read after the settings
    EXPECT_EQ(h.window().spec.width, 1180);
    EXPECT_EQ(h.window().spec.minHeight, 600);
    EXPECT_EQ(h.window().spec.dragStripHeight, 28);
    EXPECT_EQ(h.window().web.loaded, std::vector<std::string>{"suite://app/index.html"});
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Regular});
    EXPECT_EQ(h.shell.activations, 1);
    // The window's scheme serves the page folder.
    EXPECT_EQ(h.window().scheme("suite://app/").status, 200);
}

TEST(AppDelegateLaunch, BackgroundStartBuildsButDoesNotShow) {
    Harness h(false, true);
    h.start();
    ASSERT_NE(h.shell.window, nullptr);
    EXPECT_FALSE(h.window().visible);
    EXPECT_EQ(h.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Accessory});
    // A second start of the program brings the same window back.
    EXPECT_TRUE(h.delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.shell.policies.back(), ActivationPolicy::Regular);
}

TEST(AppDelegateLaunch, DemoNeitherReadsNorWritesSettings) {
    Harness h(true);
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.start();
    app.userContentController({{"type", "ready"}});
    EXPECT_TRUE(h.events().at(0)["settings"].is_null());
    EXPECT_TRUE(h.events().at(0)["demo"].get<bool>());
    app.userContentController({{"type", "save"}, {"settings", {{"lang", "en"}}}});
    EXPECT_EQ(loadSettings(h.settingsFile()), Json({{"lang", "ar"}}));
}

TEST(AppDelegateSettings, SaveRebuildsTheMenuOnlyWhenTheLanguageChanges) {
    Harness h;
    auto& app = h.start();
    app.userContentController({{"type", "save"}, {"settings", {{"lang", "en"}, {"x", 1}}}});
    EXPECT_EQ(h.shell.menuBars.size(), 1u);
    EXPECT_EQ(loadSettings(h.settingsFile()), Json({{"lang", "en"}, {"x", 1}}));

    app.userContentController({{"type", "save"}, {"settings", {{"lang", "ar"}}}});
    ASSERT_EQ(h.shell.menuBars.size(), 2u);
    EXPECT_EQ(h.shell.menuBars[1].menus[0].items[0].title, "حول TALVEN™ Suite");
    EXPECT_TRUE(h.shell.menuBars[1].rightToLeft);

    // The file holds exactly the last dictionary; the next "ready" sends it back.
    app.userContentController({{"type", "save"}, {"settings", Json::object()}});
    EXPECT_EQ(loadSettings(h.settingsFile()), Json::object());
    app.userContentController({{"type", "ready"}});
    EXPECT_TRUE(h.events().back()["settings"].is_null());
}

TEST(AppDelegateSettings, UnwritableFileKeepsTheChangeInMemory) {
    Harness h;
    auto& app = h.start();
    std::filesystem::remove_all(h.launch.supportDir);
    app.userContentController({{"type", "save"}, {"settings", {{"startLogin", true}}}});
    EXPECT_EQ(app.settings(), Json({{"startLogin", true}}));
    EXPECT_FALSE(app.windowShouldClose());
}

TEST(AppDelegateBridge, ReadyRepliesEveryTimeWithTheSystemValues) {
    Harness h;
    h.system.languages = {"ar-EG"};
    h.system.dark = true;
    auto& app = h.start();
    app.userContentController({{"type", "ready"}});
    app.userContentController({{"type", "ready"}});
    auto events = h.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["platform"], "linux");
    EXPECT_EQ(events[0]["version"], "3.1.0");
    EXPECT_EQ(events[0]["osLang"], "ar-EG");
    EXPECT_EQ(events[0]["osDark"], true);
    EXPECT_EQ(events[0]["demo"], false);
}

TEST(AppDelegateBridge, MalformedMessagesSendNothing) {
    Harness h;
    auto& app = h.start();
    for (const Json& body : {Json("ready"), Json::array(), Json::object(), Json{{"type", 3}}}) {
        app.userContentController(body);
    }
    EXPECT_TRUE(h.window().web.scripts.empty());
}

TEST(AppDelegateBridge, LinksOpenOnlyOnTheVendorsHost) {
    Harness h(true);  // links work in demo mode too
    auto& app = h.start();
    app.userContentController({{"type", "link"}, {"url", "https://brenlow.example/help"}});
    app.userContentController({{"type", "link"}, {"url", "https://www.brenlow.example/"}});
    app.userContentController({{"type", "link"}, {"url", "https://evilbrenlow.example/"}});
    app.userContentController({{"type", "link"}, {"url", "mailto:help@brenlow.example"}});
    app.userContentController({{"type", "link"}, {"url", 12}});
    EXPECT_EQ(h.shell.opened, (std::vector<std::string>{"https://brenlow.example/help",
                                                        "https://www.brenlow.example/"}));
    EXPECT_TRUE(app.decidePolicyFor("suite://app/index.html"));
    EXPECT_FALSE(app.decidePolicyFor("https://brenlow.example/"));
}

TEST(AppDelegateWindow, AppearanceChangesRecolourAndReachThePage) {
    Harness h;
    h.start();
    EXPECT_DOUBLE_EQ(h.window().spec.background.red, 0.965);
    h.system.changeAppearance(true);
    EXPECT_DOUBLE_EQ(h.window().background.blue, 0.10);
    EXPECT_EQ(h.events().back(), Json({{"type", "appearance"}, {"osDark", true}, {"reduceMotion", false}}));
    // Observers outliving the delegate do nothing.
    h.delegate.reset();
    EXPECT_NO_FATAL_FAILURE(h.system.changeAppearance(false));
}

TEST(AppDelegateWindow, MenuCommands) {
    Harness h(false, true);
    auto& app = h.start();
    app.menuCommand(MenuCommand::CheckNow);
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.events().back(), Json({{"type", "checkNow"}}));
    app.menuCommand(MenuCommand::OpenSettings);
    EXPECT_EQ(h.window().web.scripts.back(), "document.querySelector('[data-view=settings]')?.click()");
    app.menuCommand(MenuCommand::About);
    ASSERT_EQ(h.shell.abouts.size(), 1u);
    EXPECT_EQ(h.shell.abouts[0].version, "3.1.0");
    EXPECT_NE(h.shell.abouts[0].credits.find("\nbrenlow.example"), std::string::npos);
}

TEST(AppDelegateWindow, ZoomFollowsTheWidthInSteps) {
    Harness h;
    auto& app = h.start();
    auto& web = h.window().web;
    const std::pair<double, double> cases[] = {{1180, 1.0}, {1190, 1.0}, {1205, 1.02}, {1475, 1.24},
                                               {3000, 2.5}, {5000, 2.5}, {900, 1.0}};
    for (auto [width, zoom] : cases) {
        web.viewWidth = width;
        app.windowDidResize();
        EXPECT_NEAR(web.zoomLevel, zoom, 1e-9) << width;
    }
    // A fraction of a point that leaves the step alone does not touch the page.
    web.viewWidth = 1475;
    app.windowDidResize();
    int changes = web.zoomChanges;
    web.viewWidth = 1475.4;
    app.windowDidResize();
    EXPECT_EQ(web.zoomChanges, changes);
    EXPECT_FALSE(zoomChange(1180, 1.0005));
    EXPECT_TRUE(zoomChange(1180, 1.002));
}

TEST(AppDelegateWindow, CloseRulesFollowStartLogin) {
    {
        Harness h;
        auto& app = h.start();
        EXPECT_TRUE(app.windowShouldClose());
        app.windowDidClose();
        EXPECT_EQ(h.shell.terminations, 1);
    }
    {
        Harness h;
        saveSettings(h.settingsFile(), {{"startLogin", true}});
        auto& app = h.start();
        EXPECT_FALSE(app.windowShouldClose());
        EXPECT_FALSE(h.window().visible);
        EXPECT_EQ(h.shell.policies.back(), ActivationPolicy::Accessory);
        EXPECT_EQ(h.shell.terminations, 0);
        app.applicationShouldHandleReopen();
        EXPECT_TRUE(h.window().visible);
    }
    {
        Harness h(true);  // a showcase always ends with its window
        auto& app = h.start();
        app.saveSettings({{"startLogin", true}});
        EXPECT_TRUE(app.windowShouldClose());
        EXPECT_TRUE(app.applicationShouldTerminateAfterLastWindowClosed());
    }
    EXPECT_TRUE(terminatesAfterLastWindowClosed({{"startLogin", "true"}}, false));
    EXPECT_TRUE(terminatesAfterLastWindowClosed({{"startLogin", false}}, false));
    EXPECT_FALSE(terminatesAfterLastWindowClosed({{"startLogin", true}}, false));
    EXPECT_FALSE(keepsRunningWhenClosed({{"startLogin", "true"}}, false));
}

TEST(AppDelegateDemo, StepsRunAfterEveryLoadOnlyInDemoMode) {
    Harness h(true);
    auto steps = h.dir / "steps.txt";
    std::ofstream(steps) << "size 1280 800\nwait 2\nshot " << (h.dir / "a.png").string() << "\nquit\n";
    h.env.values["TALVEN_SUITE_STEPS"] = steps.string();
    auto& app = h.start();
    h.window().web.snapshot = std::string("\x89PNG fake");
    app.webViewDidFinish();
    EXPECT_EQ(h.window().orderedFront, 1);
    h.queue.advance(1.49);
    EXPECT_FALSE(h.window().contentSize);
    h.queue.advance(0.01);
    EXPECT_EQ(h.window().contentSize, std::make_pair(1280.0, 800.0));
    h.queue.advance(2.49);
    EXPECT_FALSE(std::filesystem::exists(h.dir / "a.png"));
    h.queue.advance(0.01);  // 4.0 s after the load
    EXPECT_TRUE(std::filesystem::exists(h.dir / "a.png"));
    EXPECT_EQ(h.shell.terminations, 1);

    Harness normal;
    normal.env.values["TALVEN_SUITE_STEPS"] = steps.string();
    normal.start().webViewDidFinish();
    EXPECT_EQ(normal.queue.pending(), 0u);
    EXPECT_EQ(normal.window().orderedFront, 0);

    Harness unreadable(true);
    unreadable.env.values["TALVEN_SUITE_STEPS"] = (h.dir / "absent.txt").string();
    unreadable.start().webViewDidFinish();
    EXPECT_EQ(unreadable.queue.pending(), 0u);
}

}  // namespace
}  // namespace suite
