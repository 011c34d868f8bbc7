// The real GTK host: window, WebKit page from web/, scheme, navigation policy and zoom, and
// what the page shows that the end-to-end flows do not read: texts of every phase and outcome,
// both languages and themes, thumbnails under the page's content policy.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>

#include "app/AppDelegate.h"
#include "app/WindowRules.h"
#include "fakes/CommaLocale.h"
#include "fakes/TempDir.h"
#include "host/HostLoop.h"
#include "platform/Files.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/gtk/GtkMainWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/UserEnvironment.h"
#include "platform/macos/MacPackageSystem.h"
#include "platform/macos/OsascriptRunner.h"

namespace suite::gtk {

GtkApplication* gApp = nullptr;

namespace {

struct FixedEnvironment final : Environment {
    std::optional<std::string> get(const std::string& name) const override {
        auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::string, std::string> values;
};

// axe-core's script: SUITE_AXE_JS from the environment, else where install-deps.sh puts it.
std::filesystem::path axeScriptPath() {
    const char* chosen = std::getenv("SUITE_AXE_JS");
    return chosen != nullptr && *chosen != '\0' ? chosen : SUITE_AXE_JS;
}

// The widgets under `root` (itself included) that carry the CSS class `name`, in tree order.
std::vector<GtkWidget*> widgetsWithClass(GtkWidget* root, const char* name) {
    std::vector<GtkWidget*> found, widgets = {root};
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        if (gtk_widget_has_css_class(widgets[i], name)) found.push_back(widgets[i]);
        for (GtkWidget* c = gtk_widget_get_first_child(widgets[i]); c;
             c = gtk_widget_get_next_sibling(c))
            widgets.push_back(c);
    }
    return found;
}

const std::string kCapture = "[data-product=\"talven.capture\"]";
// True once the capture row's failure details are on show, opened.
const std::string kFailureDetailsOpen =
    "(d => !d.hidden && (d.open = true))(document.querySelector('" + kCapture +
    " [data-failure-details]'))";

// A "result" event: `more` is the version of a success, the error code of a failure.
Json result(const std::string& id, bool ok, const std::string& more,
            const std::string& reason = "") {
    Json event = {{"type", "result"}, {"id", id}, {"ok", ok}, {ok ? "version" : "error", more}};
    if (!reason.empty()) event["reason"] = reason;
    return event;
}

Json feedbackResult(bool ok, const std::string& error) {
    return {{"type", "feedbackResult"}, {"ok", ok}, {"error", error}};
}

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start(SUITE_WEB_DIR);
        ASSERT_TRUE(spinUntil([&] { return pageState("typeof window.Suite") == "\"object\""; }, 20))
            << "the page never defined Suite";
    }

    // The program's delegate on this host, with the page's files in `webRoot` ("": none found).
    void start(const std::filesystem::path& webRoot) {
        launch_.appVersion = "9.8.7";
        launch_.isDemo = true;  // nothing the page does may reach this machine's settings
        launch_.supportDir = scratch_ / "support";
        AppConfig config;
        config.webRoot = webRoot;
        config.vendorHost = "brenlow.example";
        config.platformName = "linux";
        config.hostTag = "Linux";
        config.windowFrameFile = scratch_ / "frame.json";
        delegate_ =
            std::make_unique<AppDelegate>(launch_, config, platform_.with(http_, packages_));
        delegate_->applicationDidFinishLaunching();
    }

    GtkWebView& web() { return platform_.shell.mainWindow()->gtkWebView(); }

    // The page's value of `expression` as JSON text ("" when it has none).
    std::string pageState(const std::string& expression) {
        // Shared with the callback, which may still come after this has given up waiting.
        auto result = std::make_shared<std::optional<std::optional<std::string>>>();
        web().evaluateForResult(expression,
                                [result](std::optional<std::string> json) { *result = json; });
        if (!spinUntil([&] { return result->has_value(); }, 30)) return "";
        return (*result)->value_or("");
    }

    // Declared in the order they are built; the program goes first, the folder last.
    fakes::TempDir scratch_;
    LaunchValues launch_;
    FixedEnvironment env_;
    // The page in demo mode never installs; it only needs a package kind to show.
    OsascriptRunner noRights_{"/nonexistent/osascript"};
    MacPackageSystem packages_{{}, {}, noRights_};
    GtkPlatform platform_{gApp, "", env_};
    CurlHttpClient http_{platform_.queue};
    std::unique_ptr<AppDelegate> delegate_;
};

// What the unit tests cannot see: that the scheme's headers reach the engine, that odd messages
// from the page do no harm, that the engine asks the navigation policy, and that the user's zoom
// is kept with the window.
TEST_F(HostTest, SchemeNavigationPolicyAndZoomAreWiredIntoTheEngine) {
    pageState(
        "window.__fetched = null; fetch('suite://app/index.html').then(r => window.__fetched ="
        " [r.status, r.headers.get('Content-Type'), r.headers.get('Cache-Control')]); true");
    ASSERT_TRUE(spinUntil([&] { return pageState("window.__fetched !== null") == "true"; }));
    EXPECT_EQ(pageState("window.__fetched"), R"([200,"text/html; charset=utf-8","no-store"])");

    // Messages that are not actions reach the native side and change nothing.
    pageState(
        "for (const m of ['ready', [1], {}, {type: 5}, null]) "
        "window.webkit.messageHandlers.suite.postMessage(m); true");
    pageState("window.__marker = 42; location.href = 'https://brenlow.example/'; true");
    pageState("window.open('suite://app/index.html'); true");
    spinFor(0.1);  // time for a navigation to happen
    EXPECT_EQ(pageState("window.__marker"), "42");
    EXPECT_EQ(pageState("location.protocol"), "\"suite:\"");

    // The user's zoom comes back with the window at the next start (the size sweep below checks
    // how it combines with the width's).
    delegate_->menuCommand(MenuCommand::ZoomIn);
    ASSERT_TRUE(spinUntil([&] {
        return std::abs(web().zoom() - targetZoom(web().width(), 1.1)) < 1e-9;
    })) << web().zoom();
    platform_.shell.mainWindow()->rememberFrame();
    WindowSpec spec;
    spec.frameFile = scratch_ / "frame.json";
    spec.startUri = "about:blank";
    GMenu* noMenus = g_menu_new();
    {
        GtkMainWindow next(gApp, spec, *delegate_, nullptr, G_MENU_MODEL(noMenus));
        EXPECT_DOUBLE_EQ(next.rememberedUserZoom(), 1.1)
            << readWholeFile(spec.frameFile).value_or("");
    }
    g_object_unref(noMenus);
    delegate_->menuCommand(MenuCommand::ZoomReset);
    EXPECT_TRUE(spinUntil([&] { return std::abs(web().zoom() - 1.0) < 1e-9; }));
}

// Without the page's files the scheme serves nothing, not even other files on the machine, and
// the window itself says what to do, in the interface language.
class MissingPageTest : public HostTest, public ::testing::WithParamInterface<std::string> {
  protected:
    void SetUp() override {
        env_.values = {{"LANGUAGE", GetParam()}};
        start("");
    }
};

TEST_P(MissingPageTest, SchemeServesNothingAndTheWindowSaysToReinstall) {
    ASSERT_TRUE(
        spinUntil([&] { return pageState("location.href") == "\"suite://app/index.html\""; }));
    pageState(
        "window.__got = []; for (const p of ['index.html', 'etc/hostname', '../../etc/hostname'])"
        " fetch('suite://app/' + p).then(r => window.__got.push(r.status)); true");
    EXPECT_TRUE(spinUntil([&] { return pageState("window.__got") == "[404,404,404]"; }))
        << pageState("window.__got");

    const auto notices =
        widgetsWithClass(GTK_WIDGET(platform_.shell.mainWindow()->gtkWindow()), "talven-notice");
    ASSERT_EQ(notices.size(), 1u);
    const bool ar = GetParam() == "ar";
    EXPECT_NE(std::string(gtk_label_get_text(GTK_LABEL(notices[0])))
                  .find(ar ? "إعادة تثبيت" : "reinstall"),
              std::string::npos);
    EXPECT_EQ(gtk_widget_get_direction(notices[0]), ar ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
    EXPECT_TRUE(gtk_widget_is_visible(notices[0]));
}

INSTANTIATE_TEST_SUITE_P(InterfaceLanguages, MissingPageTest, ::testing::Values("en", "ar"));

// The page with the demo's sample products; every event below is the test's, since outside demo
// mode the page plays nothing itself and the native side, still in demo mode, acts on nothing.
class PageTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(spinUntil(
            [&] {
                return pageState("document.querySelectorAll('[data-product]').length > 0") ==
                       "true";
            },
            60))
            << "the products never appeared";
    }

    // Plays "init" again in `lang`, as a restart would, then the system's appearance. Without
    // `packages`, as a native side from before the package kinds.
    void reinit(const std::string& lang, bool dark, bool demo, const Json& packages = nullptr) {
        Json init = {{"type", "init"},
                     {"platform", "linux"},
                     {"version", "9.8.7"},
                     {"demo", demo},
                     {"vendorHost", "brenlow.example"},
                     {"settings", Json{{"lang", lang}}},
                     {"osLang", "en"},
                     {"osDark", false},
                     {"reduceMotion", false}};
        if (!packages.is_null()) init["packages"] = packages;
        delegate_->send(init);
        delegate_->send({{"type", "appearance"}, {"osDark", dark}, {"reduceMotion", dark}});
        ASSERT_TRUE(spinUntil([&] {
            return pageState(
                       "document.documentElement.lang + document.documentElement.dataset.theme") ==
                   "\"" + lang + (dark ? "dark" : "light") + "\"";
        }));
    }

    std::string text(const std::string& selector) {
        return pageState("document.querySelector('" + selector + "')?.textContent ?? null");
    }
    void click(const std::string& selector) {
        pageState("document.querySelector('" + selector + "').click(); true");
    }
    std::string count(const std::string& selector) {
        return pageState("document.querySelectorAll('" + selector + "').length");
    }
    std::string visible(const std::string& selector) {
        return pageState("document.querySelector('" + selector + "').checkVisibility()");
    }
    // Types `value` into the form field `field`, as the page hears typing.
    void type(const std::string& field, const std::string& value) {
        pageState("(m => { m.value = " + Json(value).dump() +
                  "; m.dispatchEvent(new Event('input')); })(document.querySelector('[data-field=" +
                  field + "]')); true");
    }

    // axe-core's findings on the page as it is now, each rule with the elements it names:
    // {"violations": [...], "incomplete": [...]}. axe must already be in the page.
    Json axeFindings() {
        pageState(R"(window.__axe = null;
            axe.run(document).then(r => {
                const brief = (list) => list.map((rule) => ({ id: rule.id,
                    nodes: rule.nodes.map((n) => `${n.target.join(' ')}: ${n.failureSummary ?? ''}`) }));
                window.__axe = { violations: brief(r.violations), incomplete: brief(r.incomplete) };
            }, (e) => { window.__axe = { violations: [String(e)], incomplete: [] }; }); true)");
        if (!spinUntil([&] { return pageState("window.__axe !== null") == "true"; }, 60))
            return {{"violations", "axe never answered"}};
        return Json::parse(pageState("window.__axe"));
    }

    // Clicks `click` (if any), sends `event` (if any), and waits until `selector` shows `expected`.
    struct Step {
        std::string click;
        Json event;
        std::string selector, expected;
    };
    void play(const std::vector<Step>& steps) {
        for (const auto& step : steps) {
            if (!step.click.empty()) click(step.click);
            if (!step.event.is_null()) delegate_->send(step.event);
            EXPECT_TRUE(spinUntil([&] {
                return text(step.selector).find(step.expected) != std::string::npos;
            })) << step.expected
                << " — shown: " << text(step.selector);
        }
    }
};

TEST_F(PageTest, InstallShowsEveryPhaseAndOutcome) {
    reinit("en", false, false);
    const std::string row = kCapture, poll = "[data-product=\"talven.addin.poll\"]";
    auto progress = [](const std::string& phase, double pct) {
        return Json{{"type", "progress"}, {"id", "talven.capture"}, {"phase", phase}, {"pct", pct}};
    };
    click(row + " [data-select]");
    play({
        {"[data-action=install-selected]", Json(), row + " .progress-text", "Waiting to start"},
        {"", progress("download", 0), row + " .progress-text", "Downloading… 0%"},
        {"", progress("download", 37.5), row + " .progress-text", "38% · 36.3 MB of 96.9 MB"},
        {"", progress("password", 100), row + " .progress-text", "administrator password"},
        {"", Json(), "title", "Installing 1 of 1 — TALVEN™ Suite"},
        {"", result("talven.capture", true, "2.0.1"), row + " .product-outcome",
         "Installed version \u20662.0.1\u2069."},
        {"", Json(), "[data-batch-text]", "everything was installed (1 of 1)"},
        // A result from a hand-off that ends after this page forgot the batch starts a new one.
        {"", result("talven.addin.poll", false, "cancelled"), poll + " .product-outcome",
         "Cancelled"},
        {"", Json(), "[data-batch-text]", "0 of 1 installed, 1 not installed"},
        {poll + " [data-retry]", Json(), poll + " .progress-text", "Waiting to start"},
    });
    EXPECT_EQ(pageState("document.querySelector('" + row + " [data-progress]').hidden"), "true");
    // The retry runs: the window's own title, which the task switcher shows, counts it.
    EXPECT_TRUE(spinUntil([&] {
        return std::string(gtk_window_get_title(platform_.shell.mainWindow()->gtkWindow())) ==
               "Installing 1 of 1 — TALVEN™ Suite";
    })) << gtk_window_get_title(platform_.shell.mainWindow()->gtkWindow());
}

// What this system cannot install says so on its row and offers nothing to select or install.
TEST_F(PageTest, ProductsThisSystemCannotInstallOfferNoInstallControls) {
    const std::string timer = "[data-product=\"talven.addin.timer\"]",
                      presenter = "[data-product=\"talven.presenter\"]";
    // The install buttons above the list, and the row's own controls, that are on screen.
    auto visibleControls = [&](const std::string& id) {
        return pageState("[...document.querySelectorAll('[data-product-toolbar], [data-product=\"" +
                         id +
                         "\"] :is([data-select], [data-retry], [data-open])')].filter(e => "
                         "e.checkVisibility()).length");
    };
    reinit("en", false, false, "deb");
    play({{"", Json(), timer + " [data-state-badge]", "Not available for this system"}});
    EXPECT_EQ(visibleControls("talven.addin.timer"), "1")
        << "only the toolbar, for the other products";
    EXPECT_EQ(visible(timer + " .product-facts"), "false");

    reinit("ar", false, false, "");
    play({{"", Json(), presenter + " [data-state-badge]", "التثبيت غير مدعوم على هذا النظام"},
          {"", Json(), "[data-unsupported-notice]", "التثبيت غير مدعوم على هذا النظام"}});
    EXPECT_EQ(visibleControls("talven.presenter"), "0");
    EXPECT_EQ(visible("[data-unsupported-notice]"), "true");
}

// A long catalog: only the rows near the window are drawn, and scrolling to the end draws the last
// one. (The cap on what the page reads, at 20,000, is the page tests'; a catalog that size outlasts
// the host tests' time limit in the sanitizer build.)
TEST_F(PageTest, LongCatalogIsDrawnNearTheWindow) {
    reinit("ar", false, false);
    ASSERT_TRUE(spinUntil([&] { return pageState("Suite.snapshot().check.running") == "false"; }));
    pageState(R"((() => {
        const products = Array.from({ length: 3000 }, (_, i) => ({
            id: `p${i}`, group: 'app', name: { en: 'P', ar: 'P' }, description: { en: 'D', ar: 'D' },
            version: '1.0', url: 'https://brenlow.example/p.pkg', file: 'p.pkg', sha256: 'a'.repeat(64), size: 1,
            detect: { apps: ['P.app'] } }));
        Suite.receive({ type: 'checkNow' });
        Suite.receive({ type: 'catalog', ok: true, text: JSON.stringify({ version: 1, products }) });
        return true; })())");
    delegate_->send({{"type", "scanned"}, {"installed", Json::object()}});
    const std::string rows = "document.querySelectorAll('[data-product]')";
    ASSERT_TRUE(spinUntil(
        [&] { return pageState(rows + "[0]?.getAttribute('aria-setsize')") == "\"3000\""; }, 60));
    EXPECT_EQ(pageState(rows + ".length < 100"), "true") << pageState(rows + ".length");
    pageState(
        "(() => { const body = document.querySelector('[data-panel=products] .panel-body'); "
        "body.scrollTop = body.scrollHeight; return true; })()");
    EXPECT_TRUE(spinUntil([&] {
        return pageState(
                   "document.querySelector('[data-product=p2999]')?.checkVisibility() ?? false") ==
               "true";
    })) << pageState(rows + ".length");
}

TEST_F(PageTest, FeedbackShowsAttachmentsProgressAndEachOutcome) {
    reinit("en", false, false);
    click("[data-view=feedback]");
    // A 1x1 PNG as the picture's thumbnail.
    const std::string png =
        "data:image/"
        "png;base64,"
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5Erk"
        "Jggg==";
    auto file = [](const char* id, const char* name, int size, const char* type) {
        return Json{{"id", id}, {"name", name}, {"size", size}, {"type", type}};
    };
    Json shot = file("P1", "shot.png", 2048, "image/png");
    shot["thumb"] = png;
    delegate_->send({{"type", "picked"},
                     {"files",
                      {shot, file("P2", "clip.mov", 5000000, "video/quicktime"),
                       file("P3", "gone.png", 1, "image/png")}}});
    ASSERT_TRUE(spinUntil([&] { return count("[data-file]") == "3"; }));
    // Decoded, so the page's content policy let the data address through.
    EXPECT_TRUE(spinUntil(
        [&] {
            return pageState("document.querySelector('[data-file=P1] img').naturalWidth") == "1";
        },
        5));
    click("[data-file=P3] [data-remove]");
    ASSERT_TRUE(spinUntil([&] { return count("[data-file]") == "2"; }));

    type("message", "Hello");
    const std::string outcome = "[data-feedback-outcome]";
    // A retry that was not sent would leave the earlier outcome: a late result changes nothing.
    play({
        {"[data-action=send-feedback]", Json{{"type", "feedbackProgress"}, {"pct", 42.4}},
         "[data-send-text]", "Sending… 42%"},
        {"", feedbackResult(false, "offline"), outcome, "You seem to be offline"},
        {"[data-action=feedback-retry]", feedbackResult(false, "send"), outcome,
         "could not be sent"},
    });
    EXPECT_EQ(pageState("document.querySelector('[data-field=message]').value"), "\"Hello\"")
        << "what was written stays for the retry";
    play({{"[data-action=feedback-retry]", feedbackResult(true, "send"), outcome, "Thank you"}});
    EXPECT_EQ(count("[data-file]"), "0");
    EXPECT_EQ(pageState("document.querySelector('[data-error=message]').hidden"), "true");
}

// axe-core's rules run in the real engine on every view a user meets, in both languages and
// themes; alongside, what axe does not know: texts that are still keys, the side of the sidebar,
// controls under the native drag strip, the page colour.
TEST_F(PageTest, EveryViewPassesAxeInBothLanguagesAndThemes) {
    const std::filesystem::path axePath = axeScriptPath();
    const std::string axe = readWholeFile(axePath).value_or("");
    ASSERT_FALSE(axe.empty())
        << "axe-core is missing at " << axePath
        << ": run scripts/install-deps.sh (or set SUITE_AXE_JS to axe.min.js)";
    pageState(axe + "\n;true");
    ASSERT_EQ(pageState("typeof axe.run"), "\"function\"");
    const std::string probe = R"((() => {
        const keys = /(^|\s)(app|nav|products?|notice|size|check|time|feedback|settings|install|batch|notify)\.[a-zA-Z.]+/;
        const body = document.body.innerText;
        let underStrip = 0;
        for (let x = 2; x < innerWidth; x += 20) {
            for (const y of [2, 14, 27]) underStrip += document.elementFromPoint(x, y)?.closest('button, input, a, textarea, summary, label') ? 1 : 0;
        }
        const side = document.querySelector('.sidebar').getBoundingClientRect();
        return { key: keys.exec(body)?.[0] ?? '', braces: /[{}]/.test(body), underStrip,
                 sidebarRight: side.left > document.querySelector('.main').getBoundingClientRect().left,
                 dir: document.documentElement.dir, background: getComputedStyle(document.body).backgroundColor };
    })())";
    const std::string capture = kCapture;
    const std::string fields =
        "(m, e) => { for (const [f, v] of [['message', m], ['email', e]]) {"
        " const el = document.querySelector(`[data-field=${f}]`); el.value = v;"
        " el.dispatchEvent(new Event('input')); } }";
    // Each view as a user gets to it, in the order the walk takes them; `ready` says it is on show.
    struct View {
        std::string name, js, ready;
        Json event = nullptr;
    };
    const std::vector<View> views = {
        {"products after a check", "Suite.receive({type: 'checkNow'})",
         "!Suite.snapshot().check.running && Suite.snapshot().catalog.error === null"},
        {"installing",
         "document.querySelector('" + capture + " [data-install]').click()",
         "document.querySelector('" + capture + "').dataset.install === 'download'",
         {{"type", "progress"}, {"id", "talven.capture"}, {"phase", "download"}, {"pct", 37.5}}},
        {"results with failures", "", kFailureDetailsOpen,
         result("talven.capture", false, "download", "timeout")},
        {"offline",
         "document.querySelector('[data-action=dismiss-batch]').click();"
         "Suite.receive({type: 'checkNow'}); Suite.receive({type: 'catalog', ok: false, offline: "
         "true})",
         "!Suite.snapshot().check.running && "
         "!document.querySelector('[data-catalog-notice]').hidden"
         " && document.querySelector('[data-headline]').hidden"},
        {"settings", "document.querySelector('[data-view=settings]').click()", "true"},
        {"feedback, empty", "document.querySelector('[data-view=feedback]').click()", "true"},
        {"feedback, invalid",
         "(" + fields +
             ")('', 'nope'); document.querySelector('[data-action=send-feedback]').click()",
         "!document.querySelector('[data-error=email]').hidden"},
        {"feedback, sending",
         "(" + fields +
             ")('Hello', 'lina@example.com'); "
             "document.querySelector('[data-action=send-feedback]').click()",
         "!document.querySelector('[data-send-progress]').hidden"},
    };
    std::map<std::string, std::set<std::string>> incomplete;  // rule → where
    for (const std::string lang : {"en", "ar"}) {
        for (bool dark : {false, true}) {
            // A check in demo mode finds the sample products; the rest of the walk sends the
            // native side's events itself.
            reinit(lang, dark, true);
            for (const auto& view : views) {
                const std::string where = lang + (dark ? " dark, " : " light, ") + view.name;
                SCOPED_TRACE(where);
                if (view.name == "installing") reinit(lang, dark, false);
                if (!view.js.empty()) pageState(view.js + "; true");
                if (!view.event.is_null()) delegate_->send(view.event);
                // Colours in the middle of a transition are neither the old nor the new ones.
                ASSERT_TRUE(spinUntil(
                    [&] {
                        return pageState("!!(" + view.ready +
                                         ") && !document.getAnimations().some(a => a instanceof "
                                         "CSSTransition)") == "true";
                    },
                    20));
                const Json found = axeFindings();
                EXPECT_EQ(found["violations"], Json::array()) << found["violations"].dump(1);
                for (const auto& rule : found["incomplete"])
                    incomplete[rule["id"].get<std::string>()].insert(where);
                EXPECT_EQ(Json::parse(pageState(probe)),
                          (Json{{"key", ""},
                                {"braces", false},
                                {"underStrip", 0},
                                {"dir", lang == "ar" ? "rtl" : "ltr"},
                                {"sidebarRight", lang == "ar"},
                                {"background", dark ? "rgb(10, 15, 26)" : "rgb(246, 247, 249)"}}));
            }
            // The sending form ends, so the next round starts from an empty one.
            delegate_->send(feedbackResult(true, ""));
            pageState("document.querySelector('[data-view=products]').click(); true");
        }
    }
    for (const auto& [rule, where] : incomplete) {
        std::cout << "[ axe     ] incomplete (for a person to judge): " << rule << " in "
                  << where.size() << " views, e.g. " << *where.begin() << "\n";
    }
}

// Every control of every view can be brought into the window and takes the click at its centre,
// at the window sizes people use, at the width's own zoom and with the user's zoom at 200 %.
TEST_F(PageTest, EveryControlCanBeReachedAtEverySizeAndZoom) {
    reinit("en", false, false);
    // A failed row, so that its retry, details and log link are among the controls.
    click(kCapture + " [data-install]");
    delegate_->send(result("talven.capture", false, "download", "timeout"));
    ASSERT_TRUE(spinUntil([&] { return pageState(kFailureDetailsOpen) == "true"; }));
    // → how many controls were tried, and those missed. `band` is the native drag strip's height in
    // the page's pixels: it lies over the page and takes the clicks there.
    const std::string reach = R"(((band) => {
        const panel = document.querySelector('[data-panel]:not([hidden])');
        const controls = [...document.querySelectorAll('.nav button'),
                          ...panel.querySelectorAll('button, a[href], input, textarea, summary')].filter((e) => e.checkVisibility());
        const missed = [];
        for (const control of controls) {
            const target = control.closest('label') ?? control;  // a restyled radio or tick is its label
            target.scrollIntoView({ block: 'center', inline: 'center' });
            const r = target.getBoundingClientRect();
            const x = r.left + r.width / 2, y = r.top + r.height / 2;
            const hit = document.elementFromPoint(x, y);
            if (y < band || !hit || !target.contains(hit)) {
                missed.push(`${target.outerHTML.slice(0, 70)} at ${Math.round(x)},${Math.round(y)} under ${hit?.outerHTML.slice(0, 50)}`);
            }
        }
        return { tried: controls.length, missed };
    }))";
    GtkWidget* view = web().widget();
    for (const auto& size :
         std::vector<std::pair<int, int>>{{900, 600}, {2400, 700}, {3840, 1000}, {1000, 2000}}) {
        // Named copies: clang does not let the waits' lambdas capture structured bindings.
        const int width = size.first, height = size.second;
        platform_.shell.mainWindow()->setContentSize(width, height);
        for (const double userZoom : {1.0, 2.0}) {
            delegate_->menuCommand(MenuCommand::ZoomReset);
            // 110, 125, 150, 175, 200 %
            for (int step = 0; step < 5 && userZoom > 1; ++step)
                delegate_->menuCommand(MenuCommand::ZoomIn);
            const double zoom = targetZoom(width, userZoom);
            ASSERT_TRUE(spinUntil([&] {
                return gtk_widget_get_width(view) == width &&
                       gtk_widget_get_height(view) == height &&
                       std::abs(web().zoom() - zoom) < 1e-3 &&
                       pageState("Math.abs(innerWidth * " + std::to_string(zoom) + " - " +
                                 std::to_string(width) + ") < 2") == "true";
            })) << width
                << "x" << height << " zoom " << web().zoom() << " of " << zoom << ", page "
                << pageState("[innerWidth, innerHeight]");
            for (const std::string panel : {"products", "feedback", "settings"}) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " at " +
                             std::to_string(zoom) + ", " + panel);
                click("[data-view=" + panel + "]");
                const Json found =
                    Json::parse(pageState(reach + "(" + std::to_string(28 / zoom) + ")"));
                EXPECT_GE(found["tried"].get<int>(), 10);
                EXPECT_EQ(found["missed"], Json::array()) << found["missed"].dump(1);
            }
        }
    }
}

// A walk with the keyboard through the main flows: each control is reached as Tab would reach it
// and pressed with Enter; after each step the focus is on a visible control, never on the page.
TEST_F(PageTest, KeyboardWalkLeavesTheFocusOnAVisibleControl) {
    const std::string capture = kCapture;
    struct Press {
        std::string key, control;
        Json event;
        std::string shown, focus;  // waits until `shown` is on screen; `focus` is where it must be
    };
    const std::vector<Press> walk = {
        {"Enter", "[data-action=check]", Json(), "[data-action=check]:not([aria-busy=true])",
         "[data-action=check]"},
        {"Enter", capture + " [data-install]", Json(), capture + " [data-progress]",
         capture + " .product-status"},
        {"", "", result("talven.capture", false, "download", "timeout"),
         "[data-action=retry-failed]", capture + " .product-status"},
        {" ", "[data-action=retry-failed]", result("talven.capture", true, "2.0.1"),
         "[data-batch][data-state=ok]", "[data-batch]"},
        {"Enter", "[data-action=dismiss-batch]", Json(), "[data-product-toolbar]",
         ":is([data-action=update-all], [data-action=check])"},
        {"Enter", "[data-view=feedback]", Json(), "[data-panel=feedback]", "[data-view=feedback]"},
        {"Enter", "[data-action=send-feedback]", Json(), "[data-error=message]",
         "[data-field=message]"},
        {"Enter", "[data-action=send-feedback]", Json(), "[data-send-progress]",
         "[data-send-progress]"},
        {"", "", feedbackResult(true, ""), "[data-feedback-outcome]", "[data-feedback-outcome]"},
    };
    reinit("en", false, false);
    for (const auto& press : walk) {
        SCOPED_TRACE(press.control + " then " + press.shown);
        if (press.control == "[data-action=send-feedback]" && press.shown == "[data-send-progress]")
            type("message", "Hello");
        if (!press.control.empty()) {
            // A synthetic key event moves nothing by itself: the focus goes where Tab would put
            // it, and the key's activation is the click the engine makes of Enter or Space.
            pageState(
                "(e => { e.focus(); if (e.dispatchEvent(new KeyboardEvent('keydown', {key: '" +
                press.key +
                "', bubbles: true, cancelable: true}))) e.click(); })(document.querySelector('" +
                press.control + "')); true");
        }
        if (!press.event.is_null()) delegate_->send(press.event);
        ASSERT_TRUE(spinUntil([&] {
            return pageState("document.querySelector('" + press.shown +
                             "')?.checkVisibility() === true") == "true";
        }));
        spinFor(0.05);  // the views move the focus after the state has rendered
        EXPECT_EQ(
            pageState("(a => a.matches('" + press.focus +
                      "') && a.checkVisibility() && a.getBoundingClientRect().bottom > 0 "
                      "&& a.getBoundingClientRect().top < innerHeight)(document.activeElement)"),
            "true")
            << "focus on " << pageState("document.activeElement.outerHTML.slice(0, 120)");
    }
}

// The content process ends as a crash ends it; the page's own state goes with it.
TEST_F(PageTest, PageWhoseProcessIsKilledComesBackWithItsStateFromInit) {
    pageState("window.__marker = 42; true");
    // WebKit reports this end as it reports a crash, with only the reason telling them apart, and
    // the program does not look at the reason.
    webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(web().widget()));
    // A new page asked again with "ready", got "init", and checked again: the products are back.
    EXPECT_TRUE(spinUntil(
        [&] {
            return pageState(
                       "window.__marker === undefined && "
                       "document.querySelectorAll('[data-product]').length > 0") == "true";
        },
        60))
        << "the page did not come back";
    EXPECT_EQ(pageState("document.documentElement.lang"), "\"en\"");
}

// The strip lies over the page's free band, which is 28 px: a taller strip takes clicks meant for
// the page's controls below it.
TEST_F(HostTest, DragStripIsExactlyThePagesFreeBand) {
    const auto strips = widgetsWithClass(GTK_WIDGET(platform_.shell.mainWindow()->gtkWindow()),
                                         "talven-drag-strip");
    ASSERT_EQ(strips.size(), 1u);
    GtkWidget* strip = strips[0];
    GtkWidget* menus = gtk_widget_get_first_child(gtk_widget_get_first_child(strip));
    ASSERT_TRUE(GTK_IS_POPOVER_MENU_BAR(menus));
    for (bool ar : {false, true}) {
        delegate_->saveSettings({{"lang", ar ? "ar" : "en"}});  // the menu bar in each language
        // Mirrored in Arabic: the menus at the right edge, the first of them rightmost. A slow
        // machine may take a few frames to lay the strip out again.
        graphene_rect_t bar, first;
        auto onItsSide = [&] {
            const float middle = gtk_widget_get_width(strip) / 2.0f;
            return gtk_widget_get_height(strip) > 0 &&
                   gtk_widget_compute_bounds(menus, strip, &bar) && (bar.origin.x > middle) == ar;
        };
        EXPECT_TRUE(spinUntil(onItsSide, 10)) << (ar ? "ar: " : "en: ") << bar.origin.x;
        EXPECT_EQ(gtk_widget_get_height(strip), 28) << (ar ? "ar" : "en");
        ASSERT_TRUE(gtk_widget_compute_bounds(gtk_widget_get_first_child(menus), menus, &first));
        EXPECT_EQ(first.origin.x > bar.size.width / 2, ar) << first.origin.x;
    }
}

TEST_F(HostTest, AboutAskedTwiceIsOneWindow) {
    auto aboutWindows = [] {
        int count = 0;
        GListModel* windows = gtk_window_get_toplevels();
        for (guint i = 0; i < g_list_model_get_n_items(windows); ++i) {
            auto* window = static_cast<GObject*>(g_list_model_get_item(windows, i));
            if (GTK_IS_ABOUT_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window))) ++count;
            g_object_unref(window);
        }
        return count;
    };
    delegate_->menuCommand(MenuCommand::About);
    delegate_->menuCommand(MenuCommand::About);
    spinFor(0.3);
    EXPECT_EQ(aboutWindows(), 1);
}

// GTK's CSS wants a decimal point; the window's colour is written for it under any locale.
TEST(WindowColour, ParsesUnderADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_TRUE(fakes::useDecimalCommaLocale()) << "no decimal-comma locale could be built";
    const std::string css = windowCss(Rgba{0.965, 0.969, 0.976, 0.5});
    std::setlocale(LC_NUMERIC, previous.c_str());
    int errors = 0;
    GtkCssProvider* provider = gtk_css_provider_new();
    g_signal_connect(provider, "parsing-error",
                     G_CALLBACK(+[](GtkCssProvider*, GtkCssSection*, GError*, gpointer count) {
                         ++*static_cast<int*>(count);
                     }),
                     &errors);
    gtk_css_provider_load_from_data(provider, css.c_str(), -1);
    g_object_unref(provider);
    EXPECT_EQ(errors, 0) << css;
    EXPECT_NE(css.find("rgba(246, 247, 249, 0.500)"), std::string::npos) << css;
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
    suite::gtk::gApp =
        gtk_application_new("com.brenlow.talven.suite.hosttest", G_APPLICATION_NON_UNIQUE);
    if (!g_application_register(G_APPLICATION(suite::gtk::gApp), nullptr, nullptr)) return 1;
    const int status = RUN_ALL_TESTS();
    g_object_unref(suite::gtk::gApp);
    return status;
}
