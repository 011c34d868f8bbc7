#pragma once
// What every real-engine test (tests/host, tests/flows, the benchmarks built on them) needs: GTK's
// default main context turned by hand, the real WebKit page read back, and the program's delegate
// composed on this host's real pieces.
#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "app/AppDelegate.h"
#include "backends/curl/CurlHttpClient.h"
#include "backends/macos/MacPackageSystem.h"
#include "backends/macos/OsascriptRunner.h"
#include "common/Json.h"
#include "fakes/FakePlatform.h"
#include "hosts/gtk/GtkMainWindow.h"
#include "hosts/gtk/GtkPlatform.h"

namespace suite::gtk {

// Turns the main loop until `done` holds or `seconds` pass; returns whether it held.
bool spinUntil(const std::function<bool()>& done, double seconds = 10);
// Lets the loop run for `seconds` so that whatever is under way can happen.
void spinFor(double seconds);

// The value of `expression` in the page `shell` shows: JSON null when there is no page, the
// expression has no value, or the page did not answer within `seconds`.
Json pageValue(GtkShell& shell, const std::string& expression, double seconds = 10);
// Turns the main loop until `expression` is true in the page, at most `seconds`.
bool pageHolds(GtkShell& shell, const std::string& expression, double seconds = 10);

// Runs this program's tests with `app` registered under `id`, as the program has one application;
// answers the exit status.
int runTestsIn(int argc, char** argv, const char* id, GtkApplication*& app);

// The program started on this host's window, page (from web/) and HTTP client, with no locale
// variables, so that what the page shows does not depend on the machine. Its packages are macOS
// ones that never install (a page only needs a kind to show) unless the test brings its own; the
// update conditions are the machine's unless it brings others.
struct HostApp {
    HostApp(GtkApplication* app, LaunchValues launch,
            const std::function<void(AppConfig&)>& configure = {}, CurlClientOptions http = {},
            PackageSystem* packages = nullptr, UpdateConditions* conditions = nullptr);

    Json page(const std::string& expression, double seconds = 10) {
        return pageValue(platform.shell, expression, seconds);
    }
    bool holds(const std::string& expression, double seconds = 10) {
        return pageHolds(platform.shell, expression, seconds);
    }
    GtkWebView& web() { return platform.shell.mainWindow()->gtkWebView(); }

    fakes::FakeEnvironment env;
    OsascriptRunner noRights{"/nonexistent/osascript"};
    MacPackageSystem mac{{}, {}, noRights};
    GtkPlatform platform;
    CurlHttpClient http;
    AppDelegate delegate;
};

}  // namespace suite::gtk
