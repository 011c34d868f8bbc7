// The real GTK host: window, WebKit page from web/, bridge, scheme, navigation policy and zoom,
// driven in-process under a virtual display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <fstream>

#include "app/AppDelegate.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/gtk/GioFileTypes.h"
#include "platform/gtk/GioLauncher.h"
#include "platform/gtk/GioNotifier.h"
#include "platform/gtk/GtkFilePicker.h"
#include "platform/gtk/GtkMainQueue.h"
#include "platform/gtk/GtkMainWindow.h"
#include "platform/gtk/GtkShell.h"
#include "platform/gtk/GtkSystemSettings.h"
#include "platform/gtk/PkexecRunner.h"
#include "platform/gtk/UserEnvironment.h"

namespace suite::gtk {

GtkApplication* gApp = nullptr;

namespace {

// Turns the main loop until `done` holds or `seconds` pass; returns whether it held.
bool spinUntil(const std::function<bool()>& done, double seconds = 20) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

class FixedEnvironment final : public Environment {
public:
    std::optional<std::string> get(const std::string& name) const override {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::map<std::string, std::string> values;
};

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talven-host-XXXXXX";
        scratch_ = ::mkdtemp(pattern);
        launch_.appVersion = "9.8.7";
        launch_.isDemo = true;  // nothing the page does may reach this machine's settings
        launch_.supportDir = scratch_ / "support";
        shell_ = std::make_unique<GtkShell>(gApp);
        system_ = std::make_unique<GtkSystemSettings>(env_);
        AppConfig config;
        config.webRoot = SUITE_WEB_DIR;
        config.vendorHost = "brenlow.example";
        config.platformName = "linux";
        config.hostTag = "Linux";
        http_ = std::make_unique<CurlHttpClient>(queue_);
        delegate_ = std::make_unique<AppDelegate>(
            launch_, config,
            Platform{queue_, *shell_, *system_, env_, *http_, background_, privileged_, launcher_,
                     notifier_, filePicker_, fileTypes_, thumbnailer_});
        delegate_->applicationDidFinishLaunching();
        ASSERT_TRUE(spinUntil([&] { return pageState("typeof window.Suite") == "\"object\""; }))
            << "the page never defined Suite";
    }

    void TearDown() override {
        delegate_.reset();
        http_.reset();
        system_.reset();
        shell_.reset();
        std::filesystem::remove_all(scratch_);
    }

    GtkWebView& web() { return shell_->mainWindow()->gtkWebView(); }

    // The page's value of `expression` as JSON text ("" when it has none).
    std::string pageState(const std::string& expression) {
        std::optional<std::optional<std::string>> result;
        web().evaluateForResult(expression, [&](std::optional<std::string> json) { result = json; });
        if (!spinUntil([&] { return result.has_value(); }, 10)) return "";
        return result->value_or("");
    }

    std::filesystem::path scratch_;
    LaunchValues launch_;
    GtkMainQueue queue_;
    FixedEnvironment env_;
    ThreadBackground background_;
    PkexecRunner privileged_;
    GioLauncher launcher_;
    GioNotifier notifier_{G_APPLICATION(gApp), ""};
    GtkFilePicker filePicker_;
    GioFileTypes fileTypes_;
    PixbufThumbnailer thumbnailer_;
    std::unique_ptr<CurlHttpClient> http_;
    std::unique_ptr<GtkShell> shell_;
    std::unique_ptr<GtkSystemSettings> system_;
    std::unique_ptr<AppDelegate> delegate_;
};

TEST_F(HostTest, PageReceivesInitThroughTheRealBridge) {
    // The page posts "ready" on load and applies the "init" answer.
    ASSERT_TRUE(spinUntil([&] { return pageState("document.documentElement.dataset.ready") == "\"true\""; }));
    Json state = Json::parse(pageState("Suite.snapshot()"));
    EXPECT_EQ(state["platform"], "linux");
    EXPECT_EQ(state["version"], "9.8.7");
    EXPECT_EQ(state["demo"], true);

    // Appearance changes travel the same way.
    delegate_->send({{"type", "appearance"}, {"osDark", true}, {"reduceMotion", true}});
    ASSERT_TRUE(spinUntil([&] { return pageState("document.documentElement.dataset.theme") == "\"dark\""; }));
    EXPECT_EQ(pageState("document.documentElement.dataset.motion"), "\"reduce\"");

    // Messages that are not actions change nothing; the page keeps working.
    pageState(
        "for (const m of ['ready', [1], {}, {type: 5}, null]) "
        "window.webkit.messageHandlers.suite.postMessage(m); true");
    EXPECT_EQ(pageState("Suite.snapshot().version"), "\"9.8.7\"");
}

TEST_F(HostTest, SchemeServesThePageFilesWithTheirHeaders) {
    pageState(
        "window.__fetched = null; fetch('suite://app/index.html').then(async r => {"
        "  window.__fetched = {status: r.status, type: r.headers.get('Content-Type'),"
        "    cache: r.headers.get('Cache-Control'), length: (await r.text()).length}; }); true");
    ASSERT_TRUE(spinUntil([&] { return pageState("window.__fetched !== null") == "true"; }));
    Json fetched = Json::parse(pageState("window.__fetched"));
    EXPECT_EQ(fetched["status"], 200);
    EXPECT_EQ(fetched["type"], "text/html; charset=utf-8");
    EXPECT_EQ(fetched["cache"], "no-store");
    EXPECT_GT(fetched["length"].get<int>(), 0);

    pageState(
        "window.__missing = null; fetch('suite://app/../../etc/passwd')"
        ".then(r => window.__missing = r.status, () => window.__missing = 'failed'); true");
    ASSERT_TRUE(spinUntil([&] { return pageState("window.__missing !== null") == "true"; }));
    EXPECT_NE(pageState("window.__missing"), "200");
}

TEST_F(HostTest, PageCannotNavigateAwayOrOpenWindows) {
    pageState("window.__marker = 42; location.href = 'https://brenlow.example/'; true");
    pageState("window.open('suite://app/index.html'); true");
    // Give a navigation time to happen, then check the page is still the same document.
    for (int i = 0; i < 50; ++i) g_main_context_iteration(nullptr, FALSE), g_usleep(2000);
    EXPECT_EQ(pageState("window.__marker"), "42");
    EXPECT_EQ(pageState("location.protocol"), "\"suite:\"");
}

TEST_F(HostTest, ZoomFollowsTheWindowWidth) {
    shell_->mainWindow()->setContentSize(1475, 800);
    ASSERT_TRUE(spinUntil([&] { return std::abs(web().zoom() - 1.24) < 1e-9; }))
        << "zoom " << web().zoom() << " at width " << web().width();
    shell_->mainWindow()->setContentSize(1180, 780);
    ASSERT_TRUE(spinUntil([&] { return std::abs(web().zoom() - 1.0) < 1e-9; }));
}

TEST_F(HostTest, SnapshotIsAPngOfTheVisibleView) {
    shell_->mainWindow()->setContentSize(1000, 700);
    ASSERT_TRUE(spinUntil([&] { return web().width() == 1000; }));
    std::optional<std::optional<std::string>> png;
    web().snapshotPng([&](std::optional<std::string> bytes) { png = bytes; });
    ASSERT_TRUE(spinUntil([&] { return png.has_value(); }));
    ASSERT_TRUE(png->has_value());
    const std::string& data = **png;
    ASSERT_GT(data.size(), 24u);
    EXPECT_EQ(data.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(data[at]) << 24) |
               (static_cast<unsigned char>(data[at + 1]) << 16) |
               (static_cast<unsigned char>(data[at + 2]) << 8) |
               static_cast<unsigned char>(data[at + 3]);
    };
    EXPECT_EQ(be32(16), 1000u);
    EXPECT_EQ(be32(20), 700u);
}

TEST(PreferredLanguages, ComeFromTheLocaleVariablesGLibReads) {
    FixedEnvironment env;
    EXPECT_TRUE(preferredLanguagesFrom(env).empty());
    env.values = {{"LANG", "ar_EG.UTF-8"}};
    EXPECT_EQ(preferredLanguagesFrom(env), std::vector<std::string>{"ar-EG"});
    env.values = {{"LANG", "en_US.UTF-8"}, {"LC_ALL", "C"}};
    EXPECT_TRUE(preferredLanguagesFrom(env).empty());
    env.values = {{"LANGUAGE", "ar:en_GB:ar"}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(preferredLanguagesFrom(env), (std::vector<std::string>{"ar", "en-GB"}));
    env.values = {{"LANGUAGE", ""}, {"LC_MESSAGES", "sr_RS@latin"}, {"LANG", "en_US"}};
    EXPECT_EQ(preferredLanguagesFrom(env), std::vector<std::string>{"sr-RS"});
}

}  // namespace
}  // namespace suite::gtk

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    suite::gtk::gApp = gtk_application_new("com.brenlow.talven.suite.hosttest", G_APPLICATION_NON_UNIQUE);
    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(suite::gtk::gApp), nullptr, &error)) {
        fprintf(stderr, "cannot start GTK: %s\n", error->message);
        return 1;
    }
    int status = RUN_ALL_TESTS();
    g_object_unref(suite::gtk::gApp);
    return status;
}
