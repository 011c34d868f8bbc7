// The page let go and loaded again in the real engine: WebKit's processes end with the view, and
// the page woken for its check boots from "init" and checks, all without a window on screen. (The
// kept list a page load shows is the flows'.)
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "fakes/LinuxConfig.h"
#include "fakes/TempDir.h"
#include "host/HostApp.h"

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
    LaunchValues launch = fakes::launchIn(scratch.path());
    launch.startHidden = true;
    HostApp host(gApp, launch, [](AppConfig& config) {
        // Nothing listens on its port 443: the check fails at once.
        config.vendorHost = "localhost";
        config.viewQuietSeconds = 1;
    });
    AppDelegate& app = host.delegate;
    const std::string checked = "window.Suite?.snapshot().check.lastAt != null";
    ASSERT_TRUE(host.holds(checked, 60)) << "no check at start";
    EXPECT_GT(webKitProcesses(), 0);
    host.page(
        "webkit.messageHandlers.suite.postMessage(JSON.stringify({type: 'wakeAt', at: Date.now() + "
        "4e3}))");
    ASSERT_TRUE(spinUntil([&] { return app.window() == nullptr; }, 30)) << "never dropped";
    EXPECT_TRUE(spinUntil([&] { return webKitProcesses() == 0; }, 20)) << webKitProcesses();

    ASSERT_TRUE(spinUntil([&] { return app.window() != nullptr; }, 30)) << "never woken";
    EXPECT_FALSE(app.window()->isVisible());
    EXPECT_TRUE(host.holds("window.Suite?.snapshot().booted", 60));
    EXPECT_TRUE(host.holds(checked, 60)) << "no check when woken";
}

}  // namespace
}  // namespace suite::gtk
