#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "app/AppDelegate.h"
#include "app/Settings.h"
#include "app/WindowRules.h"
#include "catalog/CatalogFetch.h"
#include "fakes/AppHarness.h"
#include "install/History.h"

namespace suite {
namespace {

using Harness = fakes::AppHarness;

TEST(AppDelegateLaunch, NormalStartShowsTheWindowAndABackgroundOneOnlyWhenAskedAgain) {
    Harness h;
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.start();
    EXPECT_EQ(app.settings(), Json({{"lang", "ar"}}));
    EXPECT_EQ(h.shell.menuBars.at(0).menus[1].title, "تحرير");  // read after the settings
    EXPECT_EQ(h.window().web.loaded, std::vector<std::string>{"suite://app/index.html"});
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Regular});

    Harness hidden(false, true);
    hidden.start();
    EXPECT_FALSE(hidden.window().visible);
    EXPECT_EQ(hidden.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Accessory});
    // A second start of the program brings the same window back.
    EXPECT_TRUE(hidden.delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(hidden.window().visible);
    EXPECT_EQ(hidden.shell.policies.back(), ActivationPolicy::Regular);
}

TEST(AppDelegateLaunch, DemoNeitherReadsNorWritesSettingsOrHistoryButItsMenusFollowTheLanguage) {
    Harness h(true);
    saveSettings(h.settingsFile(), {{"lang", "en"}, {"x", 1}});
    HistoryFile(h.launch.logDir).record({.time = 1, .id = "mine", .result = "installed"});
    auto& app = h.start();
    app.userContentController({{"type", "ready"}});
    EXPECT_TRUE(h.events().at(0)["settings"].is_null());
    app.userContentController({{"type", "save"}, {"settings", {{"lang", "ar"}}}});
    EXPECT_EQ(loadSettings(h.settingsFile()), Json({{"lang", "en"}, {"x", 1}}));
    app.userContentController({{"type", "history"}});
    EXPECT_EQ(h.events().back()["entries"], Json::array());
    ASSERT_FALSE(h.shell.menuBars.empty());
    EXPECT_TRUE(h.shell.menuBars.back().rightToLeft);
}

// Every member "init" carries, each of the type the page reads it as, with the value the delegate
// has for it (the kept catalog's own cases are the catalog tests').
TEST(AppDelegateLaunch, InitCarriesEveryMemberFromItsSource) {
    Harness h;
    h.system.languages = {"ar-EG", "en"};
    h.system.dark = true;
    saveSettings(h.settingsFile(), {{"lang", "en"}});
    h.start().userContentController({{"type", "ready"}});
    Json expected = Json::parse(R"({"type": "init", "platform": "linux", "version": "3.1.0",
        "demo": false, "packages": "pkg", "arch": "", "vendorHost": "brenlow.example",
        "settings": {"lang": "en"}, "osLang": "ar-EG", "osDark": true, "reduceMotion": false,
        "kept": null, "policy": null})");
    expected["catalogSecondsPerAddress"] = kCatalogAddressCeilingSeconds;
    const Json init = h.events().at(0);
    for (const auto& [name, value] : expected.items()) {
        ASSERT_TRUE(init.contains(name)) << name;
        EXPECT_EQ(init[name], value) << name;
    }
    EXPECT_EQ(init.size(), expected.size()) << init.dump();
}

TEST(AppDelegateSettings, SaveRebuildsTheMenuOnlyWhenTheLanguageChanges) {
    Harness h;
    auto& app = h.start();
    app.userContentController({{"type", "save"}, {"settings", {{"lang", "en"}, {"x", 1}}}});
    EXPECT_EQ(h.shell.menuBars.size(), 1u);
    EXPECT_EQ(loadSettings(h.settingsFile()), Json({{"lang", "en"}, {"x", 1}}));

    app.userContentController({{"type", "save"}, {"settings", {{"lang", "ar"}}}});
    ASSERT_EQ(h.shell.menuBars.size(), 2u);
    EXPECT_TRUE(h.shell.menuBars[1].rightToLeft);

    // The file holds exactly the last dictionary; the next "ready" sends it back.
    app.userContentController({{"type", "save"}, {"settings", Json::object()}});
    app.userContentController({{"type", "ready"}});
    EXPECT_TRUE(h.events().back()["settings"].is_null());
}

// Links open only on the vendor's host or below it, and the view goes nowhere but the page's own
// scheme. How a URL's host is read is the URL parser's table.
TEST(AppDelegateBridge, LinksAndNavigationFollowTheirPolicies) {
    Harness h(true);  // links work in demo mode too
    auto& app = h.start();
    for (const char* url : {"https://www.brenlow.example/", "https://evilbrenlow.example/",
                            "https://brenlow.example@evil.example/", "HTTPS://Brenlow.Example/x",
                            "javascript://brenlow.example/%0aalert(1)", "https:evil.example"})
        app.userContentController({{"type", "link"}, {"url", url}});
    EXPECT_EQ(h.shell.opened, (std::vector<std::string>{"https://www.brenlow.example/",
                                                        "HTTPS://Brenlow.Example/x"}));
    EXPECT_TRUE(app.decidePolicyFor("suite://app/index.html"));
    for (const char* url :
         {"https://brenlow.example/", "blob:suite://app/1", "SUITE://app/", "suites://app/"})
        EXPECT_FALSE(app.decidePolicyFor(url)) << url;
}

TEST(AppDelegateBridge, OpenLogOpensTheInstallLogOnlyWhenItIsThere) {
    Harness h;
    auto& app = h.start();
    const auto log = h.launch.logDir / "install.log";
    app.userContentController({{"type", "openLog"}});
    std::filesystem::create_directories(h.launch.logDir);
    std::filesystem::create_symlink(h.settingsFile(), log);
    app.userContentController({{"type", "openLog"}});
    EXPECT_TRUE(h.launcher.opened.empty()) << "no log, or a link in its place";
    std::filesystem::remove(log);
    std::ofstream(log) << "2026-12-07T07:00:00Z run\n";
    app.userContentController({{"type", "openLog"}});
    EXPECT_EQ(h.launcher.opened, (std::vector<std::string>{log.string()}));
    EXPECT_EQ(h.launcher.openedAs, (std::vector<std::string>{""}));
}

// A window started hidden follows the appearance all the same; "Check now" shows it.
TEST(AppDelegateWindow, AppearanceChangesReachTheHiddenWindowAndThePageAndCheckNowShowsIt) {
    Harness h(false, true);
    auto& app = h.start();
    const double lightRed = h.window().spec.background.red;
    h.system.changeAppearance(true);
    EXPECT_LT(h.window().background.red, lightRed);
    EXPECT_EQ(h.events().back(),
              Json({{"type", "appearance"}, {"osDark", true}, {"reduceMotion", false}}));
    app.menuCommand(MenuCommand::CheckNow);
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.events().back(), Json({{"type", "checkNow"}}));
}

TEST(AppDelegateWindow, EndedPageLoadsAgainAtMostThreeTimesAMinuteThenAsksTheUser) {
    Harness h;
    auto& app = h.start();
    auto& loaded = h.window().web.loaded;
    for (int i = 0; i < 4; ++i) app.webContentProcessDidTerminate();
    EXPECT_EQ(loaded.size(), 4u);  // the start and three reloads
    ASSERT_EQ(h.window().reloadNotices.size(), 1u);
    app.reloadRequested();  // the user's button always loads
    EXPECT_EQ(loaded.size(), 5u);
    h.queue.advance(61);  // a minute later the page recovers by itself again
    app.webContentProcessDidTerminate();
    EXPECT_EQ(loaded.size(), 6u);
    EXPECT_EQ(loaded.back(), "suite://app/index.html");
}

// The page zooms with the window's width in steps; the user's zoom, within its bounds and kept
// with the window, comes on top.
TEST(AppDelegateWindow, ZoomFollowsTheWidthInStepsTimesTheUsersZoom) {
    Harness h;
    auto& app = h.start();
    auto& web = h.window().web;
    for (auto [width, zoom] : {std::pair{1190.0, 1.0}, {1205.0, 1.02}, {3000.0, 2.5}}) {
        web.viewWidth = width;
        app.windowDidResize();
        EXPECT_NEAR(web.zoomLevel, zoom, 1e-9) << width;
    }
    // A fraction of a point that leaves the step alone does not touch the page.
    web.viewWidth = 1475;  // 1.24 from the width
    app.windowDidResize();
    const int changes = web.zoomChanges;
    web.viewWidth = 1475.4;
    app.windowDidResize();
    EXPECT_EQ(web.zoomChanges, changes);
    const std::tuple<MenuCommand, int, double> steps[] = {{MenuCommand::ZoomIn, 12, 3.0},
                                                          {MenuCommand::ZoomOut, 20, 0.5}};
    for (auto [command, times, kept] : steps) {
        for (int i = 0; i < times; ++i) app.menuCommand(command);
        EXPECT_DOUBLE_EQ(h.window().userZoom, kept);
        EXPECT_NEAR(web.zoomLevel, 1.24 * kept, 1e-9);
    }
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
    }
    // Only the boolean counts, and a showcase always ends with its window.
    EXPECT_TRUE(terminatesAfterLastWindowClosed({{"startLogin", "true"}}, false));
    EXPECT_TRUE(terminatesAfterLastWindowClosed({{"startLogin", true}}, true));
}

}  // namespace
}  // namespace suite
