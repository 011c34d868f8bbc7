// The real GTK host: window (its strip drawn flat), WebKit page from web/, scheme, navigation
// policy and zoom, and what only the real engine can tell of the page: accessibility in both
// languages and themes, and recovery from a lost content process. What the page says in each
// state is the page tests' (tests/web); whole flows are tests/flows'.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "app/AppDelegate.h"
#include "app/WindowRules.h"
#include "bridge/Events.h"
#include "fakes/CommaLocale.h"
#include "fakes/FakePlatform.h"
#include "fakes/LinuxConfig.h"
#include "fakes/TempDir.h"
#include "host/HostApp.h"
#include "hosts/gio/ConsoleEvents.h"
#include "hosts/gio/UserEnvironment.h"
#include "hosts/gtk/GtkMainWindow.h"
#include "hosts/gtk/Toolkit.h"
#include "install/History.h"
#include "platform/Files.h"

namespace suite::gtk {

GtkApplication* gApp = nullptr;

namespace {

// axe-core's script: SUITE_AXE_JS from the environment, else where install-deps.sh puts it.
std::filesystem::path axeScriptPath() {
    const char* chosen = std::getenv("SUITE_AXE_JS");
    return chosen != nullptr && *chosen != '\0' ? chosen : SUITE_AXE_JS;
}

const std::string kCapture = "[data-product=\"talven.capture\"]";
// True once the capture row's failure details are on show and opened by their button.
const std::string kFailureDetailsOpen =
    "(d => !d.hidden && (d.firstElementChild.getAttribute('aria-expanded') === 'true' ||"
    " (d.firstElementChild.click(), false)))(document.querySelector('" +
    kCapture + " [data-failure-details]'))";

class HostTest : public ::testing::Test {
  protected:
    // The program's delegate on this host, with the page's files from web/.
    void SetUp() override {
        LaunchValues launch = fakes::launchIn(scratch_.path());
        launch.isDemo = true;  // nothing the page does may reach this machine's settings
        app_ = std::make_unique<HostApp>(gApp, launch, [&](AppConfig& config) {
            config.windowFrameFile = scratch_ / "frame.json";
        });
        ASSERT_TRUE(pageHolds("typeof window.Suite === 'object'", 20))
            << "the page never defined Suite";
    }

    GtkWebView& web() { return app_->web(); }
    Json page(const std::string& expression) { return app_->page(expression, 30); }
    bool pageHolds(const std::string& expression, double seconds = 10) {
        return app_->holds(expression, seconds);
    }

    fakes::TempDir scratch_;  // outlives the program
    std::unique_ptr<HostApp> app_;
};

// What the unit tests cannot see: that the scheme's headers reach the engine, that odd messages
// from the page do no harm, that the engine asks the navigation policy, and that the user's zoom
// is kept with the window.
TEST_F(HostTest, SchemeNavigationPolicyAndZoomAreWiredIntoTheEngine) {
    page(
        "window.__fetched = null; fetch('suite://app/index.html').then(r => window.__fetched ="
        " [r.status, r.headers.get('Content-Type'), r.headers.get('Cache-Control')]); true");
    ASSERT_TRUE(pageHolds("window.__fetched !== null"));
    EXPECT_EQ(page("window.__fetched"),
              Json::parse(R"([200,"text/html; charset=utf-8","no-store"])"));

    // Messages that are not actions reach the native side and change nothing.
    page(
        "for (const m of ['ready', [1], {}, {type: 5}, null]) "
        "window.webkit.messageHandlers.suite.postMessage(m); true");
    page("window.__marker = 42; location.href = 'https://brenlow.example/'; true");
    page("window.open('suite://app/index.html'); true");
    spinFor(0.1);  // time for a navigation to happen
    EXPECT_EQ(page("window.__marker"), 42);
    EXPECT_EQ(page("location.protocol"), "suite:");

    // The page's title is the window's, which the task switcher shows.
    page("document.title = 'Installing 1 of 1'; true");
    EXPECT_TRUE(spinUntil([&] {
        return std::string(gtk_window_get_title(app_->platform.shell.mainWindow()->gtkWindow())) ==
               "Installing 1 of 1";
    }));

    // The user's zoom comes back with the window at the next start (the size sweep below checks
    // how it combines with the width's).
    app_->delegate.menuCommand(MenuCommand::ZoomIn);
    ASSERT_TRUE(spinUntil([&] {
        return std::abs(web().zoom() - targetZoom(web().width(), 1.1)) < 1e-9;
    })) << web().zoom();
    app_->platform.shell.mainWindow()->rememberFrame();
    WindowSpec spec;
    spec.frameFile = scratch_ / "frame.json";
    spec.startUri = "about:blank";
    GMenu* noMenus = g_menu_new();
    {
        GtkMainWindow next(gApp, spec, app_->delegate, nullptr, G_MENU_MODEL(noMenus));
        EXPECT_DOUBLE_EQ(next.rememberedUserZoom(), 1.1)
            << readWholeFile(spec.frameFile).value_or("");
    }
    g_object_unref(noMenus);
    app_->delegate.menuCommand(MenuCommand::ZoomReset);
    EXPECT_TRUE(spinUntil([&] { return std::abs(web().zoom() - 1.0) < 1e-9; }));
}

// The menus in `strip` are written in a colour that reads on the window's, whatever the theme's
// own is.
void expectMenusReadOnTheWindowColour(GtkMainWindow& window, GtkWidget* label) {
    ASSERT_NE(label, nullptr);
    for (const bool dark : {true, false}) {
        window.setBackgroundColor(dark ? Rgba{0.04, 0.06, 0.10, 1} : Rgba{0.97, 0.97, 0.98, 1});
        GdkRGBA text;
#if GTK_MAJOR_VERSION >= 4
        gtk_style_context_get_color(gtk_widget_get_style_context(label), &text);
#else
        gtk_style_context_get_color(gtk_widget_get_style_context(label), GTK_STATE_FLAG_NORMAL,
                                    &text);
#endif
        const double luminance = 0.2126 * text.red + 0.7152 * text.green + 0.0722 * text.blue;
        EXPECT_EQ(luminance > 0.5, dark) << "on a " << (dark ? "dark" : "light") << " window";
    }
}

#if GTK_MAJOR_VERSION >= 4
// The kind of picture `widget` hands the renderer, and its pixels at the widget's size.
std::pair<GskRenderNodeType, std::vector<unsigned char>> drawingOf(GtkWidget* widget) {
    const int width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
    GdkPaintable* paintable = gtk_widget_paintable_new(widget);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, width, height);
    g_object_unref(paintable);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    if (node == nullptr) return {GSK_NOT_A_RENDER_NODE, {}};
    GskRenderNode* drawn = node;  // under the paintable's clip to the widget's bounds
    while (gsk_render_node_get_node_type(drawn) == GSK_CLIP_NODE) {
        drawn = gsk_clip_node_get_child(drawn);
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gsk_render_node_draw(node, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> ink(data, data + cairo_image_surface_get_stride(surface) * height);
    cairo_surface_destroy(surface);
    const GskRenderNodeType type = gsk_render_node_get_node_type(drawn);
    gsk_render_node_unref(node);
    return {type, ink};
}

// The first widget of `type` in `widget`'s tree, depth first.
GtkWidget* firstOfType(GtkWidget* widget, GType type) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) return widget;
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (GtkWidget* found = firstOfType(child, type)) return found;
    }
    return nullptr;
}

// The strip reaches the renderer as one picture, which holds what its menus and buttons draw;
// the menus are written in a colour that reads on the window's, whatever the theme's own is.
TEST_F(HostTest, StripIsOnePictureWhoseMenusReadOnTheWindowColour) {
    GtkMainWindow& window = *app_->platform.shell.mainWindow();
    GtkWidget* strip = firstOfType(GTK_WIDGET(window.gtkWindow()), GTK_TYPE_WINDOW_HANDLE);
    ASSERT_TRUE(strip != nullptr && spinUntil([&] { return gtk_widget_get_mapped(strip); }));
    GtkWidget* flatBin = gtk_widget_get_first_child(strip);
    const auto [flatType, flat] = drawingOf(flatBin);
    const auto own = drawingOf(gtk_widget_get_first_child(flatBin)).second;
    EXPECT_EQ(flatType, GSK_CAIRO_NODE);
    // The same ink, up to the text's anti-aliasing; an empty or shifted picture is far off.
    long ink = 0, apart = 0;
    for (std::size_t i = 0; i < own.size() && i < flat.size(); ++i) {
        ink += own[i];
        apart += std::abs(int{flat[i]} - int{own[i]});
    }
    EXPECT_GT(ink, 0);
    EXPECT_LT(apart, ink / 20);

    expectMenusReadOnTheWindowColour(window, firstOfType(strip, GTK_TYPE_LABEL));
}
#else
// The first widget of `type` in `widget`'s tree, depth first.
GtkWidget* firstOfType(GtkWidget* widget, GType type) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = firstOfType(GTK_WIDGET(child->data), type);
    }
    g_list_free(children);
    return found;
}

TEST_F(HostTest, StripMenusReadOnTheWindowColour) {
    GtkMainWindow& window = *app_->platform.shell.mainWindow();
    GtkWidget* menuBar = firstOfType(GTK_WIDGET(window.gtkWindow()), GTK_TYPE_MENU_BAR);
    ASSERT_TRUE(menuBar != nullptr && spinUntil([&] { return gtk_widget_get_mapped(menuBar); }));
    expectMenusReadOnTheWindowColour(window, firstOfType(menuBar, GTK_TYPE_LABEL));
}
#endif

// The about windows on show (GTK keeps every top-level window in one list on both toolkits).
std::vector<GtkWidget*> aboutWindows() {
    std::vector<GtkWidget*> found;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        if (GTK_IS_ABOUT_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found.push_back(GTK_WIDGET(w->data));
    }
    g_list_free(windows);
    return found;
}

// A command-line update beside the window shows in it: its events come over the real session bus
// to the program's application object, and only install events reach the page.
TEST_F(HostTest, TheCommandLinesInstallShowsInTheRunningWindow) {
    listenForConsoleEvents(G_APPLICATION(gApp),
                           [this](const Json& event) { app_->delegate.consoleEvent(event); });
    GDBusConnection* bus = g_application_get_dbus_connection(G_APPLICATION(gApp));
    ASSERT_NE(bus, nullptr);
    {
        RunningWindow window(g_dbus_connection_get_unique_name(bus),
                             g_application_get_dbus_object_path(G_APPLICATION(gApp)));
        window.tell({{"type", "init"}, {"demo", false}});
        window.tell(bridge::progressEvent("talven.presenter", "download", 40));
    }
    EXPECT_TRUE(pageHolds("Suite.snapshot().install.items['talven.presenter']?.pct === 40"));
    EXPECT_EQ(page("Suite.snapshot().demo"), true) << "only install events pass";
}

// One about window, however often it is asked for, and gone for good once the user closes it.
TEST_F(HostTest, AboutWindowComesOnceAndGoesWhenClosed) {
    app_->delegate.menuCommand(MenuCommand::About);
    ASSERT_TRUE(spinUntil([] { return aboutWindows().size() == 1; }));
    GtkWidget* about = aboutWindows().front();
    EXPECT_STREQ(gtk_about_dialog_get_program_name(GTK_ABOUT_DIALOG(about)), "TALVEN™ Suite");
    app_->delegate.menuCommand(MenuCommand::About);
    spinFor(0.2);
    EXPECT_EQ(aboutWindows(), std::vector<GtkWidget*>{about});
#if GTK_MAJOR_VERSION >= 4
    gtk_window_close(GTK_WINDOW(about));
#else
    gtk_dialog_response(GTK_DIALOG(about), GTK_RESPONSE_CANCEL);  // what its Close button does
#endif
    EXPECT_TRUE(spinUntil([] { return aboutWindows().empty(); }));
}

// A keyboard user never ends up nowhere: focus that has left every widget comes back to the page.
TEST_F(HostTest, FocusThatLeftEveryWidgetComesBackToThePage) {
    GtkWindow* window = app_->platform.shell.mainWindow()->gtkWindow();
    gtk_window_set_focus(window, nullptr);
#if GTK_MAJOR_VERSION < 4
    // GTK 3 moves no focus while a menu is open; the menu bar closing hands it back.
    g_signal_emit_by_name(firstOfType(GTK_WIDGET(window), GTK_TYPE_MENU_BAR), "deactivate");
#endif
    EXPECT_TRUE(spinUntil([&] { return gtk_window_get_focus(window) == web().widget(); }));
}

// The page with the demo's sample products; every event below is the test's, since outside demo
// mode the page plays nothing itself and the native side, still in demo mode, acts on nothing.
class PageTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(pageHolds("document.querySelectorAll('[data-product]').length > 0", 60))
            << "the products never appeared";
    }

    // Plays "init" again in `lang`, as a restart would, then the system's appearance.
    void reinit(const std::string& lang, bool dark, bool demo, const std::string& packages = "pkg",
                const std::string& arch = "") {
        app_->delegate.send(bridge::initEvent({.platform = "linux",
                                               .version = "3.1.0",
                                               .packages = packages,
                                               .arch = arch,
                                               .vendorHost = "brenlow.example",
                                               .demo = demo,
                                               .settings = {{"lang", lang}},
                                               .preferredLanguages = {},
                                               .kept = nullptr}));
        app_->delegate.send({{"type", "appearance"}, {"osDark", dark}, {"reduceMotion", dark}});
        ASSERT_TRUE(spinUntil([&] {
            return page("document.documentElement.lang + document.documentElement.dataset.theme") ==
                   lang + (dark ? "dark" : "light");
        }));
    }

    // axe-core's findings on the page as it is now, each rule with the elements it names:
    // {"violations": [...], "incomplete": [...]}. axe must already be in the page.
    Json axeFindings() {
        page(R"(window.__axe = null;
            axe.run(document).then(r => {
                const brief = (list) => list.map((rule) => ({ id: rule.id,
                    nodes: rule.nodes.map((n) => `${n.target.join(' ')}: ${n.failureSummary ?? ''}`) }));
                window.__axe = { violations: brief(r.violations), incomplete: brief(r.incomplete) };
            }, (e) => { window.__axe = { violations: [String(e)], incomplete: [] }; }); true)");
        if (!pageHolds("window.__axe !== null", 60)) return {{"violations", "axe never answered"}};
        return page("window.__axe");
    }
};

// axe-core's rules run in the real engine on every view a user meets, in both languages and
// themes; alongside, what axe does not know: texts that are still keys, the side of the sidebar,
// controls under the native drag strip, the page colour, and what WebKit's tree makes of the
// markup (a <summary> is no button, a list without bullets no list, a bar without a value half
// full, and direction marks are read aloud).
TEST_F(PageTest, EveryViewPassesAxeInBothLanguagesAndThemes) {
    const std::filesystem::path axePath = axeScriptPath();
    const std::string axe = readWholeFile(axePath).value_or("");
    ASSERT_FALSE(axe.empty())
        << "axe-core is missing at " << axePath
        << ": run scripts/install-deps.sh (or set SUITE_AXE_JS to axe.min.js)";
    page(axe + "\n;true");
    ASSERT_EQ(page("typeof axe.run"), "function");
    const std::string probe = R"((() => {
        const keys = /(^|\s)(app|nav|products?|notice|size|check|time|feedback|settings|install|batch|notify|history)\.[a-zA-Z.]+/;
        const body = document.body.innerText;
        let underStrip = 0;
        for (let x = 2; x < innerWidth; x += 20) {
            for (const y of [2, 14, 27]) underStrip += document.elementFromPoint(x, y)?.closest('button, input, a, textarea, summary, label') ? 1 : 0;
        }
        const side = document.querySelector('.sidebar').getBoundingClientRect();
        const shown = (selector) => [...document.querySelectorAll(selector)].filter((e) => e.checkVisibility());
        const byId = (e, attr) => document.getElementById(e.getAttribute(attr));
        const said = [document.body.textContent, document.title,
                      ...shown('[aria-label]').map((e) => e.getAttribute('aria-label'))].join('');
        const tree = {
            summaries: document.querySelectorAll('summary').length,
            toggles: shown('[data-disclosure]').every((b) => b.tagName === 'BUTTON' && /^(true|false)$/.test(b.getAttribute('aria-expanded'))),
            lists: shown('ul, ol').every((u) => u.getAttribute('role') === 'list'),
            bars: shown('[role=progressbar]').every((b) => b.dataset.indeterminate === 'true'
                ? !['aria-valuenow', 'aria-valuemin', 'aria-valuemax'].some((a) => b.hasAttribute(a))
                : b.hasAttribute('aria-valuenow')),
            switches: shown('[role=switch]').every((s) => byId(s, 'aria-labelledby') && byId(s, 'aria-describedby')
                && !byId(s, 'aria-labelledby').contains(byId(s, 'aria-describedby'))),
            marks: /[\u200e\u200f\u2066-\u2069]/.test(said) };
        return { key: keys.exec(body)?.[0] ?? '', braces: /[{}]/.test(body), underStrip, tree,
                 sidebarRight: side.left > document.querySelector('.main').getBoundingClientRect().left,
                 dir: document.documentElement.dir, background: getComputedStyle(document.body).backgroundColor };
    })())";
    const std::string capture = kCapture;
    Json history = historyEvent({{.time = 1796455912,
                                  .id = "talven.capture",
                                  .to = "2.0.1",
                                  .kind = "pkg",
                                  .result = "failed",
                                  .error = "install",
                                  .reason = "dependency",
                                  .detail = "libpipewire-0.3.so.0"},
                                 {.time = 1796455812,
                                  .id = "talven.presenter",
                                  .from = "4.1.0",
                                  .to = "4.2.0",
                                  .kind = "pkg",
                                  .result = "updated"}});
    history["restorable"] = {{"talven.presenter", "4.1.0"}};
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
        {"waiting for the password",
         "",
         "document.querySelector('" + capture + "').dataset.install === 'password'",
         {{"type", "progress"}, {"id", "talven.capture"}, {"phase", "password"}, {"pct", 100}}},
        {"results with failures",
         "",
         kFailureDetailsOpen,
         {{"type", "result"},
          {"id", "talven.capture"},
          {"ok", false},
          {"error", "download"},
          {"reason", "timeout"}}},
        {"offline",
         "document.querySelector('[data-action=dismiss-batch]').click();"
         "Suite.receive({type: 'checkNow'}); Suite.receive({type: 'catalog', ok: false, offline: "
         "true})",
         "!Suite.snapshot().check.running && "
         "!document.querySelector('[data-catalog-notice]').hidden"
         " && document.querySelector('[data-headline]').hidden"},
        {"settings", "document.querySelector('[data-view=settings]').click()", "true"},
        // A showcase's native side answers with an empty history; the entries are a real one's.
        {"history, empty", "document.querySelector('[data-view=history]').click()",
         "Suite.snapshot().history?.length === 0"},
        {"history", "", "document.querySelectorAll('[data-panel=history] li').length === 2",
         history},
        {"feedback, invalid",
         "document.querySelector('[data-view=feedback]').click();"
         " (e => { e.value = 'nope'; e.dispatchEvent(new Event('input')); })"
         "(document.querySelector('[data-field=email]'));"
         " document.querySelector('[data-action=send-feedback]').click()",
         "!document.querySelector('[data-error=email]').hidden"},
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
                if (!view.js.empty()) page(view.js + "; true");
                if (!view.event.is_null()) app_->delegate.send(view.event);
                // Colours in the middle of a transition are neither the old nor the new ones.
                ASSERT_TRUE(pageHolds("(" + view.ready +
                                          ") && !document.getAnimations().some(a => a instanceof "
                                          "CSSTransition)",
                                      20));
                const Json found = axeFindings();
                EXPECT_EQ(found["violations"], Json::array()) << found["violations"].dump(1);
                for (const auto& rule : found["incomplete"])
                    incomplete[rule["id"].get<std::string>()].insert(where);
                EXPECT_EQ(page(probe),
                          (Json{{"key", ""},
                                {"braces", false},
                                {"underStrip", 0},
                                {"tree",
                                 {{"summaries", 0},
                                  {"toggles", true},
                                  {"lists", true},
                                  {"bars", true},
                                  {"switches", true},
                                  {"marks", false}}},
                                {"dir", lang == "ar" ? "rtl" : "ltr"},
                                {"sidebarRight", lang == "ar"},
                                {"background", dark ? "rgb(10, 15, 26)" : "rgb(246, 247, 249)"}}));
            }
            page("document.querySelector('[data-view=products]').click(); true");
        }
    }
    for (const auto& [rule, where] : incomplete) {
        std::cout << "[ axe     ] incomplete (for a person to judge): " << rule << " in "
                  << where.size() << " views, e.g. " << *where.begin() << "\n";
    }
}

// An RPM host in the real engine, from the bridge's "init" on: of the sample catalog it offers
// each application's RPM package for this machine (of the capture's two, the x86_64 one), and
// nothing of the add-ins, which have none.
TEST_F(PageTest, AnRpmHostOffersTheSampleRpmPackagesForItsMachine) {
    reinit("en", false, true, "rpm", "x86_64");
    page("Suite.receive({type: 'checkNow'}); true");
    const std::string rows = R"([...document.querySelectorAll('[data-product]')].map((row) =>
        [row.dataset.product, row.dataset.state, row.dataset.state === 'unavailable' ? '' :
         row.querySelector('.product-facts .fact:nth-child(2) dd').textContent.replace(/[\u2066-\u2069]/g, '')].join(' ')))";
    ASSERT_TRUE(pageHolds("!Suite.snapshot().check.running && " + rows +
                              ".includes('talven.capture missing 2.0.1-1')",
                          30))
        << page(rows).dump();
    EXPECT_EQ(page("[Suite.snapshot().packages, Suite.snapshot().arch]"), (Json{"rpm", "x86_64"}));
    EXPECT_EQ(page(rows),
              (Json{"talven.presenter update 4.2.0-1", "talven.suite current 1.0.0-1",
                    "talven.capture missing 2.0.1-1", "talven.addin.charts unavailable ",
                    "talven.addin.timer unavailable ", "talven.addin.poll unavailable "}));
}

// The content process ends as a crash ends it; the page's own state goes with it.
TEST_F(PageTest, PageWhoseProcessIsKilledComesBackWithItsStateFromInit) {
    page("window.__marker = 42; true");
    // WebKit reports this end as it reports a crash, with only the reason telling them apart, and
    // the program does not look at the reason.
    webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(web().widget()));
    // A new page asked again with "ready", got "init", and checked again: the products are back.
    EXPECT_TRUE(pageHolds(
        "window.__marker === undefined && document.querySelectorAll('[data-product]').length > 0",
        60))
        << "the page did not come back";
    EXPECT_EQ(page("document.documentElement.lang"), "en");
}

// GTK's CSS wants a decimal point; the window's colour is written for it under any locale.
TEST(WindowColour, ParsesUnderADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_TRUE(fakes::useDecimalCommaLocale()) << "no decimal-comma locale could be built";
    const std::string css = windowCss(Rgba{0.965, 0.969, 0.976, 0.5}, kStripCss);
    std::setlocale(LC_NUMERIC, previous.c_str());
    int errors = 0;
    GtkCssProvider* provider = gtk_css_provider_new();
    g_signal_connect(provider, "parsing-error",
                     G_CALLBACK(+[](GtkCssProvider*, GtkCssSection*, GError*, gpointer count) {
                         ++*static_cast<int*>(count);
                     }),
                     &errors);
    loadCss(provider, css);
    g_object_unref(provider);
    EXPECT_EQ(errors, 0) << css;
    EXPECT_NE(css.find("rgba(246, 247, 249, 0.500)"), std::string::npos) << css;
}

TEST(PreferredLanguages, ComeFromTheLocaleVariablesGLibReads) {
    fakes::FakeEnvironment env;
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
    return suite::gtk::runTestsIn(argc, argv, "com.brenlow.talven.suite.hosttest",
                                  suite::gtk::gApp);
}
