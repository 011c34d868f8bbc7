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

// The page as the user meets it: the demo's sample products, then an install driven by scripted
// native events, and every view in both languages and both themes.
class PageTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(spinUntil([&] { return pageState("document.querySelectorAll('[data-product]').length > 0") == "true"; }, 60))
            << "the products never appeared";
    }

    // Plays "init" again with other settings and appearance, as a restart would.
    void reinit(const std::string& lang, bool dark, bool demo = true) {
        delegate_->send({{"type", "init"}, {"platform", "linux"}, {"version", "9.8.7"}, {"demo", demo},
                         {"settings", Json{{"lang", lang}}}, {"osLang", "en"}, {"osDark", dark},
                         {"reduceMotion", false}});
        ASSERT_TRUE(spinUntil([&] {
            return pageState("document.documentElement.lang + document.documentElement.dataset.theme") ==
                   "\"" + lang + (dark ? "dark" : "light") + "\"";
        }));
    }

    std::string text(const std::string& selector) {
        return pageState("document.querySelector('" + selector + "')?.textContent ?? null");
    }

    // Sends `event` and waits until `selector`'s text contains `expected`.
    bool shows(const Json& event, const std::string& selector, const std::string& expected) {
        if (!event.is_null()) delegate_->send(event);
        return spinUntil([&] { return text(selector).find(expected) != std::string::npos; }, 10);
    }
};

TEST_F(PageTest, InstallSendsTheItemAndFollowsItsEventsToTheEnd) {
    // Outside demo mode the page plays nothing itself; the native side, still in demo mode,
    // ignores the request, so every event below is the test's.
    reinit("en", false, false);
    // Records what the page posts. The handler object is held from the page: WebKit hands out
    // a fresh wrapper, without the recording, once an unreferenced one has been collected.
    pageState(
        "(() => { const h = window.__handler = window.webkit.messageHandlers.suite;"
        "  const send = h.postMessage.bind(h);"
        "  window.__posted = []; h.postMessage = (m) => { __posted.push(m); send(m); }; return true; })()");
    pageState(
        "document.querySelector('[data-product=\"talven.capture\"] [data-select]').click();"
        "document.querySelector('[data-action=install-selected]').click(); true");
    Json posted = Json::parse(pageState("__posted.filter(m => m.type === 'install')"));
    ASSERT_EQ(posted.size(), 1u);
    ASSERT_EQ(posted[0]["items"].size(), 1u);
    const Json& item = posted[0]["items"][0];
    EXPECT_EQ(item["id"], "talven.capture");
    EXPECT_EQ(item["file"], "talven-capture-2.0.1.pkg");
    EXPECT_EQ(item["url"], "https://downloads.brenlow.example/suite/talven-capture-2.0.1.pkg");
    EXPECT_EQ(item["sha256"].get<std::string>().size(), 64u);

    const std::string row = "[data-product=\"talven.capture\"]";
    auto progress = [](const std::string& phase, double pct) {
        return Json{{"type", "progress"}, {"id", "talven.capture"}, {"phase", phase}, {"pct", pct}};
    };
    struct Step {
        Json event;
        std::string selector, expected;
    };
    const std::vector<Step> steps = {
        {Json(), row + " .progress-text", "Waiting to start"},
        {progress("download", 0), row + " .progress-text", "Downloading… 0%"},
        {progress("download", 37.5), row + " .progress-text", "38% · 36.3 MB of 96.9 MB"},
        {progress("download", 20), row + " .progress-text", "38%"},  // late and out of order
        {progress("verify", 100), row + " .progress-text", "Checking the download"},
        {progress("password", 100), row + " .progress-text", "administrator password"},
        {progress("install", 100), row + " .progress-text", "Installing"},
        {Json{{"type", "result"}, {"id", "talven.capture"}, {"ok", true}, {"version", "2.0.1"}},
         row + " .product-outcome", "Installed version \u20662.0.1\u2069."},
        {Json(), row + " [data-state-badge]", "Up to date"},
        {Json(), "[data-batch-text]", "everything was installed (1 of 1)"},
        // A result from a hand-off that ends after this page forgot the batch starts a new one.
        {Json{{"type", "result"}, {"id", "talven.addin.poll"}, {"ok", false}, {"error", "cancelled"}},
         "[data-product=\"talven.addin.poll\"] .product-outcome", "Cancelled"},
        {Json(), "[data-batch-text]", "0 of 1 installed, 1 not installed"},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(shows(step.event, step.selector, step.expected))
            << step.expected << " — shown: " << text(step.selector);
    }
    EXPECT_EQ(pageState("document.querySelector('" + row + " [data-progress]').hidden"), "true");

    // The retry asks for that product again.
    pageState("document.querySelector('[data-product=\"talven.addin.poll\"] [data-retry]').click(); true");
    Json again = Json::parse(pageState("__posted.filter(m => m.type === 'install').map(m => m.items.map(i => i.id))"));
    EXPECT_EQ(again, Json::parse(R"([["talven.capture"], ["talven.addin.poll"]])"));
}

TEST_F(PageTest, FeedbackShowsAttachmentsProgressAndEachOutcome) {
    reinit("en", false, false);
    pageState(
        "(() => { const h = window.__handler = window.webkit.messageHandlers.suite;"
        "  const send = h.postMessage.bind(h);"
        "  window.__posted = []; h.postMessage = (m) => { __posted.push(m); send(m); }; return true; })()");
    pageState(
        "document.querySelector('[data-view=feedback]').click();"
        "document.querySelector('[data-action=pick-files]').click(); true");
    EXPECT_EQ(pageState("__posted.map(m => m.type)"), "[\"pickFiles\"]");

    // A 1x1 PNG as the picture's thumbnail; the movie has none.
    const std::string png =
        "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==";
    delegate_->send({{"type", "picked"},
                     {"files", Json::array({{{"id", "P1"}, {"name", "shot.png"}, {"size", 2048}, {"type", "image/png"},
                                             {"thumb", png}},
                                            {{"id", "P2"}, {"name", "clip.mov"}, {"size", 5000000}, {"type", "video/quicktime"}},
                                            {{"id", "P3"}, {"name", "gone.png"}, {"size", 1}, {"type", "image/png"}}})}});
    ASSERT_TRUE(spinUntil([&] { return pageState("document.querySelectorAll('[data-file]').length") == "3"; }));
    // Decoded, so the page's policy let the data address through.
    EXPECT_TRUE(spinUntil([&] { return pageState("document.querySelector('[data-file=P1] img').naturalWidth") == "1"; }, 5));
    EXPECT_EQ(pageState("document.querySelector('[data-file=P2] img')"), "null");
    pageState("document.querySelector('[data-file=P3] [data-remove]').click(); true");
    ASSERT_TRUE(spinUntil([&] { return pageState("document.querySelectorAll('[data-file]').length") == "2"; }));

    pageState(
        "(() => { const m = document.querySelector('[data-field=message]'); m.value = 'Hello';"
        "  m.dispatchEvent(new Event('input'));"
        "  document.querySelector('[data-action=send-feedback]').click(); return true; })()");
    Json sent = Json::parse(pageState("__posted.filter(m => m.type === 'sendFeedback')"));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["files"], Json::parse(R"(["P1", "P2"])"));
    EXPECT_EQ(sent[0]["data"]["message"], "Hello");
    EXPECT_EQ(sent[0]["data"]["device"], true);

    const std::string outcome = "[data-feedback-outcome]";
    struct Step {
        Json event;
        std::string selector, expected;
    };
    const std::vector<Step> steps = {
        {Json{{"type", "feedbackProgress"}, {"pct", 42.4}}, "[data-send-text]", "Sending… 42%"},
        {Json{{"type", "feedbackResult"}, {"ok", false}, {"error", "offline"}}, outcome, "You seem to be offline"},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(shows(step.event, step.selector, step.expected)) << step.expected;
    }
    EXPECT_EQ(pageState("document.querySelector('[data-field=message]').value"), "\"Hello\"")
        << "what was written stays for the retry";

    // The retry sends again; the service refuses, then a second retry is delivered.
    pageState("document.querySelector('[data-action=feedback-retry]').click(); true");
    EXPECT_TRUE(shows(Json{{"type", "feedbackResult"}, {"ok", false}, {"error", "send"}}, outcome,
                      "could not be sent"));
    pageState("document.querySelector('[data-action=feedback-retry]').click(); true");
    EXPECT_TRUE(shows(Json{{"type", "feedbackResult"}, {"ok", true}, {"error", "send"}}, outcome, "Thank you"));
    EXPECT_EQ(pageState("__posted.filter(m => m.type === 'sendFeedback').length"), "3");
    EXPECT_EQ(pageState("document.querySelectorAll('[data-file]').length"), "0");
    EXPECT_EQ(pageState("document.querySelector('[data-error=message]').hidden"), "true");
}

TEST_F(PageTest, EveryViewRendersInBothLanguagesAndThemes) {
    // Texts that are still keys, placeholders left unfilled, controls under the drag strip,
    // the side of the sidebar, the page colour.
    const std::string probe = R"((() => {
        const keys = /(^|\s)(app|nav|products?|notice|size|check|time|feedback|settings|install|batch|notify)\.[a-zA-Z.]+/;
        const body = document.body.innerText;
        const controls = 'button, input, a, textarea, select, summary, label';
        let underStrip = 0;
        for (let x = 2; x < innerWidth; x += 20) {
            for (const y of [2, 14, 27]) {
                const hit = document.elementFromPoint(x, y);
                if (hit && hit.closest(controls)) underStrip++;
            }
        }
        const side = document.querySelector('.sidebar').getBoundingClientRect();
        const main = document.querySelector('.main').getBoundingClientRect();
        return { key: keys.exec(body)?.[0] ?? '', braces: /[{}]/.test(body), underStrip,
                 sidebarRight: side.left > main.left, dir: document.documentElement.dir,
                 arabic: /[\u0600-\u06ff]/.test(document.querySelector('[data-panel]:not([hidden]) h1').textContent),
                 background: getComputedStyle(document.body).backgroundColor,
                 visible: document.querySelectorAll('[data-panel]:not([hidden])').length };
    })())";
    for (const std::string lang : {"en", "ar"}) {
        for (bool dark : {false, true}) {
            reinit(lang, dark);
            for (const std::string view : {"products", "feedback", "settings"}) {
                SCOPED_TRACE(lang + (dark ? " dark " : " light ") + view);
                pageState("document.querySelector('[data-view=" + view + "]').click(); true");
                ASSERT_TRUE(spinUntil([&] {
                    return pageState("document.querySelector('[data-panel=" + view + "]').hidden") == "false";
                }));
                Json seen = Json::parse(pageState(probe));
                EXPECT_EQ(seen["key"], "");
                EXPECT_EQ(seen["braces"], false);
                EXPECT_EQ(seen["underStrip"], 0);
                EXPECT_EQ(seen["visible"], 1);
                EXPECT_EQ(seen["dir"], lang == "ar" ? "rtl" : "ltr");
                EXPECT_EQ(seen["sidebarRight"], lang == "ar");
                EXPECT_EQ(seen["arabic"], lang == "ar");
                EXPECT_EQ(seen["background"], dark ? "rgb(10, 15, 26)" : "rgb(246, 247, 249)");
            }
        }
    }
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
