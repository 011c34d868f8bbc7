#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "app/AppDelegate.h"
#include "app/Settings.h"
#include "app/WindowRules.h"
#include "fakes/AppHarness.h"

namespace suite {
namespace {

using Harness = fakes::AppHarness;

TEST(AppDelegateLaunch, NormalStartShowsTheWindowInTheSavedLanguage) {
    Harness h;
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.start();
    EXPECT_EQ(app.settings(), Json({{"lang", "ar"}}));
    ASSERT_EQ(h.shell.menuBars.size(), 1u);
    EXPECT_EQ(h.shell.menuBars[0].menus[1].title, "تحرير");  // read after the settings
    EXPECT_EQ(h.window().web.loaded, std::vector<std::string>{"suite://app/index.html"});
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Regular});
    EXPECT_EQ(h.shell.activations, 1);
}

TEST(AppDelegateLaunch, BackgroundStartBuildsButDoesNotShow) {
    Harness h(false, true);
    h.start();
    EXPECT_FALSE(h.window().visible);
    EXPECT_EQ(h.shell.policies, std::vector<ActivationPolicy>{ActivationPolicy::Accessory});
    // A second start of the program brings the same window back.
    EXPECT_TRUE(h.delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.shell.policies.back(), ActivationPolicy::Regular);
}

TEST(AppDelegateLaunch, DemoNeitherReadsNorWritesSettingsButItsMenusFollowTheLanguage) {
    Harness h(true);
    saveSettings(h.settingsFile(), {{"lang", "en"}, {"x", 1}});
    auto& app = h.start();
    app.userContentController({{"type", "ready"}});
    EXPECT_TRUE(h.events().at(0)["settings"].is_null());
    app.userContentController({{"type", "save"}, {"settings", {{"lang", "ar"}}}});
    EXPECT_EQ(loadSettings(h.settingsFile()), Json({{"lang", "en"}, {"x", 1}}));
    ASSERT_FALSE(h.shell.menuBars.empty());
    EXPECT_TRUE(h.shell.menuBars.back().rightToLeft);
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
    EXPECT_EQ(events[1], Json({{"type", "init"},
                               {"platform", "linux"},
                               {"version", "3.1.0"},
                               {"demo", false},
                               {"packages", "pkg"},
                               {"vendorHost", "brenlow.example"},
                               {"settings", nullptr},
                               {"osLang", "ar-EG"},
                               {"osDark", true},
                               {"reduceMotion", false}}));
}

TEST(AppDelegateBridge, LinksAndNavigationFollowTheirPolicies) {
    Harness h(true);  // links work in demo mode too
    auto& app = h.start();
    app.userContentController({{"type", "link"}, {"url", "https://www.brenlow.example/"}});
    app.userContentController({{"type", "link"}, {"url", "https://evilbrenlow.example/"}});
    EXPECT_EQ(h.shell.opened, (std::vector<std::string>{"https://www.brenlow.example/"}));
    EXPECT_TRUE(app.decidePolicyFor("suite://app/index.html"));
    EXPECT_FALSE(app.decidePolicyFor("https://brenlow.example/"));
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

// The desktop's own answer wins over the toolkit's dark flag; without one the flag stands.
TEST(AppDelegateWindow, PortalColourSchemeDecidesDarkBeforeTheToolkit) {
    const std::tuple<std::optional<std::uint32_t>, bool, bool> cases[] = {
        {1u, false, true},  {2u, true, false},          {0u, true, true},
        {0u, false, false}, {std::nullopt, true, true}, {7u, false, false}};
    for (auto [scheme, toolkit, dark] : cases) {
        EXPECT_EQ(darkFromColorScheme(scheme, toolkit), dark) << scheme.value_or(99) << toolkit;
    }
}

TEST(AppDelegateWindow, AppearanceChangesRecolourTheWindowAndReachThePage) {
    Harness h;
    h.start();
    const double lightRed = h.window().spec.background.red;
    h.system.changeAppearance(true);
    EXPECT_LT(h.window().background.red, lightRed);
    EXPECT_EQ(h.events().back(),
              Json({{"type", "appearance"}, {"osDark", true}, {"reduceMotion", false}}));
    // Observers outliving the delegate do nothing.
    h.delegate.reset();
    h.system.changeAppearance(false);
}

TEST(AppDelegateWindow, MenuCommands) {
    Harness h(false, true);
    auto& app = h.start();
    app.menuCommand(MenuCommand::CheckNow);
    EXPECT_TRUE(h.window().visible);
    EXPECT_EQ(h.events().back(), Json({{"type", "checkNow"}}));
    app.menuCommand(MenuCommand::OpenSettings);  // the page's settings view answers to this
    EXPECT_EQ(h.window().web.scripts.back(),
              "document.querySelector('[data-view=settings]')?.click()");
    app.menuCommand(MenuCommand::About);
    ASSERT_EQ(h.shell.abouts.size(), 1u);
    EXPECT_EQ(h.shell.abouts[0].version, "3.1.0");
}

TEST(AppDelegateWindow, EndedPageLoadsAgainAtMostThreeTimesAMinuteThenAsksTheUser) {
    Harness h;
    auto& app = h.start();
    auto& loaded = h.window().web.loaded;
    for (int i = 0; i < 4; ++i) app.webContentProcessDidTerminate();
    EXPECT_EQ(loaded.size(), 4u);  // the start and three reloads
    ASSERT_EQ(h.window().reloadNotices.size(), 1u);
    EXPECT_EQ(h.window().reloadNotices[0].button, "Reload");
    app.reloadRequested();  // the user's button always loads
    EXPECT_EQ(loaded.size(), 5u);
    h.queue.advance(61);  // a minute later the page recovers by itself again
    app.webContentProcessDidTerminate();
    EXPECT_EQ(loaded.size(), 6u);
    EXPECT_EQ(loaded.back(), "suite://app/index.html");
}

TEST(AppDelegateWindow, ZoomFollowsTheWidthInSteps) {
    Harness h;
    auto& app = h.start();
    auto& web = h.window().web;
    const std::pair<double, double> cases[] = {{1180, 1.0},  {1190, 1.0}, {1205, 1.02},
                                               {1475, 1.24}, {3000, 2.5}, {900, 1.0}};
    for (auto [width, zoom] : cases) {
        web.viewWidth = width;
        app.windowDidResize();
        EXPECT_NEAR(web.zoomLevel, zoom, 1e-9) << width;
    }
    // A fraction of a point that leaves the step alone does not touch the page.
    web.viewWidth = 1475;
    app.windowDidResize();
    const int changes = web.zoomChanges;
    web.viewWidth = 1475.4;
    app.windowDidResize();
    EXPECT_EQ(web.zoomChanges, changes);
    EXPECT_FALSE(zoomChange(1180, 1.0005));
    EXPECT_TRUE(zoomChange(1180, 1.002));
}

TEST(AppDelegateWindow, UserZoomStepsWithinItsBoundsOnTopOfTheWidthAndIsKeptWithTheWindow) {
    Harness h;
    h.shell.rememberedZoom = 7;  // a frame file edited by hand
    auto& app = h.start();
    auto& web = h.window().web;
    web.viewWidth = 1475;  // 1.24 from the width
    app.windowDidResize();
    EXPECT_NEAR(web.zoomLevel, 1.24 * 3.0, 1e-9);
    const std::tuple<MenuCommand, int, double> steps[] = {{MenuCommand::ZoomOut, 1, 2.5},
                                                          {MenuCommand::ZoomReset, 1, 1.0},
                                                          {MenuCommand::ZoomIn, 1, 1.1},
                                                          {MenuCommand::ZoomIn, 12, 3.0},
                                                          {MenuCommand::ZoomOut, 20, 0.5}};
    for (auto [command, times, kept] : steps) {
        for (int i = 0; i < times; ++i) app.menuCommand(command);
        EXPECT_DOUBLE_EQ(h.window().userZoom, kept);
        EXPECT_NEAR(web.zoomLevel, 1.24 * kept, 1e-9);
    }
    EXPECT_EQ(usableUserZoom(std::nan("")), 1.0);
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
    {
        Harness h(true);  // a showcase always ends with its window
        h.start().saveSettings({{"startLogin", true}});
        EXPECT_TRUE(h.delegate->windowShouldClose());
        EXPECT_TRUE(h.delegate->applicationShouldTerminateAfterLastWindowClosed());
    }
    // Only the boolean counts.
    EXPECT_TRUE(terminatesAfterLastWindowClosed({{"startLogin", "true"}}, false));
    EXPECT_FALSE(keepsRunningWhenClosed({{"startLogin", "true"}}, false));
}

// The steps' own timing is the demo run's business; here only whether they run at all.
TEST(AppDelegateDemo, StepsRunAfterEveryLoadOnlyInDemoMode) {
    const struct {
        bool demo;
        const char* file;
        bool runs;
    } cases[] = {
        {true, "steps.txt", true}, {false, "steps.txt", false}, {true, "absent.txt", false}};
    for (const auto& c : cases) {
        Harness h(c.demo);
        std::ofstream(h.dir / "steps.txt") << "size 1280 800\nquit\n";
        h.env.values["TALVEN_SUITE_STEPS"] = (h.dir / c.file).string();
        h.start().webViewDidFinish();
        h.queue.runUntilIdle();
        EXPECT_EQ(h.window().orderedFront, c.runs ? 1 : 0) << c.file << c.demo;
        EXPECT_EQ(h.window().contentSize.has_value(), c.runs) << c.file << c.demo;
        EXPECT_EQ(h.shell.terminations, c.runs ? 1 : 0) << c.file << c.demo;
    }
}

}  // namespace
}  // namespace suite
