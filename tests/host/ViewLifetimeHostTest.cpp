// The page let go and loaded again in the real engine: WebKit's processes end with the view, and
// the page woken for its check boots from "init" and checks, all without a window on screen. (The
// kept list a page load shows is the flows'.)
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "app/AppDelegate.h"
#include "backends/curl/CurlHttpClient.h"
#include "backends/macos/MacPackageSystem.h"
#include "backends/macos/OsascriptRunner.h"
#include "fakes/LinuxConfig.h"
#include "fakes/TempDir.h"
#include "host/HostLoop.h"
#include "hosts/gio/UserEnvironment.h"
#include "hosts/gtk4/GtkMainWindow.h"
#include "hosts/gtk4/GtkPlatform.h"

namespace suite::gtk {

extern GtkApplication* gApp;

namespace {

// This process's descendants whose name starts with "WebKit" (web, network processes).
int webKitProcesses() {
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const pid_t pid = std::atoi(entry.path().filename().c_str());
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (pid <= 0 || !std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        char state;
        rest >> state >> parents[pid];
        names[pid] = line.substr(line.find('(') + 1, line.rfind(')') - line.find('(') - 1);
    }
    int count = 0;
    for (const auto& [pid, name] : names) {
        pid_t up = parents[pid];
        while (up > 1 && up != getpid()) up = parents.count(up) ? parents[up] : 0;
        if (up == getpid() && name.rfind("WebKit", 0) == 0) ++count;
    }
    return count;
}

TEST(ViewLifetimeHost, DroppedViewEndsWebKitAndAWokenPageBootsAndChecks) {
    fakes::TempDir scratch;
    LaunchValues launch;
    launch.appVersion = "9.8.7";
    launch.startHidden = true;
    launch.supportDir = scratch / "support";
    launch.cacheDir = scratch / "cache";
    launch.logDir = scratch / "logs";
    launch.autostartDir = scratch / "autostart";
    AppConfig config = fakes::linuxConfig(SUITE_WEB_DIR);
    config.vendorHost = "localhost";  // nothing listens on its port 443: the check fails at once
    config.viewQuietSeconds = 1;
    ProcessEnvironment env;
    OsascriptRunner noRights{"/nonexistent/osascript"};
    MacPackageSystem packages{{}, {}, noRights};
    GtkPlatform platform{gApp, "", env};
    CurlHttpClient http{platform.queue};
    AppDelegate app(launch, config, platform.with(http, packages));
    app.applicationDidFinishLaunching();

    auto page = [&](const std::string& expression) {
        auto result = std::make_shared<std::optional<std::string>>();
        if (platform.shell.mainWindow() == nullptr) return std::string();
        platform.shell.mainWindow()->gtkWebView().evaluateForResult(
            expression, [result](std::optional<std::string> json) { *result = json.value_or(""); });
        spinUntil([&] { return result->has_value(); }, 10);
        return result->value_or("");
    };
    const std::string checked = "window.Suite?.snapshot().check.lastAt != null";
    ASSERT_TRUE(spinUntil([&] { return page(checked) == "true"; }, 60)) << "no check at start";
    EXPECT_GT(webKitProcesses(), 0);
    page(
        "webkit.messageHandlers.suite.postMessage(JSON.stringify({type: 'wakeAt', at: Date.now() + "
        "4e3}))");
    ASSERT_TRUE(spinUntil([&] { return app.window() == nullptr; }, 30)) << "never dropped";
    EXPECT_TRUE(spinUntil([&] { return webKitProcesses() == 0; }, 20)) << webKitProcesses();

    ASSERT_TRUE(spinUntil([&] { return app.window() != nullptr; }, 30)) << "never woken";
    EXPECT_FALSE(app.window()->isVisible());
    EXPECT_TRUE(spinUntil([&] { return page("window.Suite?.snapshot().booted") == "true"; }, 60));
    EXPECT_TRUE(spinUntil([&] { return page(checked) == "true"; }, 60)) << "no check when woken";
}

}  // namespace
}  // namespace suite::gtk
