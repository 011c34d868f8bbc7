#include "host/HostApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "fakes/LinuxConfig.h"
#include "hosts/gio/UserEnvironment.h"

namespace suite::gtk {

bool spinUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // The loop sleeps until something is due, without spinning a core the program under test
    // would otherwise have; a wake-up every 2 ms looks at `done` in between. The wake-up is of
    // the lowest priority: a turn runs only the most urgent sources ready, so when `done` takes
    // longer than the tick, a tick of default priority would be ready at every turn and the
    // program's idle work (WebKit ends its processes there) would never run.
    const guint tick = g_timeout_add_full(
        G_PRIORITY_LOW, 2, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr,
        nullptr);
    // `done` is asked once per turn and its answer kept: a second look could see another state.
    bool met = done();
    for (; !met && std::chrono::steady_clock::now() < deadline; met = done())
        g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    return met;
}

void spinFor(double seconds) {
    spinUntil([] { return false; }, seconds);
}

Json pageValue(GtkShell& shell, const std::string& expression, double seconds) {
    if (shell.mainWindow() == nullptr) return nullptr;
    // Shared with the callback, which may still come after this has given up waiting.
    auto result = std::make_shared<std::optional<std::optional<std::string>>>();
    shell.mainWindow()->gtkWebView().evaluateForResult(
        expression, [result](std::optional<std::string> json) { *result = json; });
    if (!spinUntil([&] { return result->has_value(); }, seconds) || !**result) return nullptr;
    return Json::parse(***result, nullptr, false);
}

bool pageHolds(GtkShell& shell, const std::string& expression, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        // An answer that comes later than `seconds` would still hold the view; wait as long.
        if (pageValue(shell, "!!(" + expression + ")", seconds) == true) return true;
        spinFor(0.02);  // the page gets on with its work between looks
    }
    return false;
}

int runTestsIn(int argc, char** argv, const char* id, GtkApplication*& app) {
    ::testing::InitGoogleTest(&argc, argv);
    app = gtk_application_new(id, G_APPLICATION_NON_UNIQUE);
    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(app), nullptr, &error)) {
        std::fprintf(stderr, "cannot start GTK: %s\n", error->message);
        return 1;
    }
    const int status = RUN_ALL_TESTS();
    g_object_unref(app);
    return status;
}

HostApp::HostApp(GtkApplication* app, LaunchValues launch,
                 const std::function<void(AppConfig&)>& configure, CurlClientOptions options,
                 PackageSystem* packages, UpdateConditions* conditions)
    : platform(app, "", env),
      http(platform.queue, std::move(options)),
      delegate(
          std::move(launch),
          [&] {
              AppConfig config = fakes::linuxConfig(SUITE_WEB_DIR);
              config.deviceDescription = deviceDescription();
              if (configure) configure(config);
              return config;
          }(),
          platform.with(http, packages != nullptr ? *packages : mac, conditions)) {
    delegate.applicationDidFinishLaunching();
}

}  // namespace suite::gtk
