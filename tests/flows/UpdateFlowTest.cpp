// Checking for and installing updates, driven through the page as a user would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Files.h"

namespace suite::flows {
namespace {

namespace fs = std::filesystem;

class UpdateFlow : public ::testing::Test {
  protected:
    VendorService* service = &sharedVendor();
};

TEST_F(UpdateFlow, StartShowsInstalledAndAvailableVersions) {
    FlowHarness h(*service);
    h.installApp("TALVEN Presenter.app", "4.1.3");
    h.installApp("TALVEN Suite.app", "3.2.0");
    h.installReceipt("com.brenlow.talven.addin.poll", "1.2");
    h.start();
    EXPECT_EQ(rowState(h, "talven.presenter"), "update");
    EXPECT_EQ(rowState(h, "talven.suite"), "current");
    EXPECT_EQ(rowState(h, "talven.addin.poll"), "update");
    EXPECT_EQ(rowState(h, "talven.capture"), "missing");
    const auto presenter = rowText(h, "talven.presenter");
    EXPECT_NE(presenter.find("4.1.3"), std::string::npos) << presenter;
    EXPECT_NE(presenter.find("4.2.0"), std::string::npos) << presenter;

    // A page that answers after the harness stopped waiting (a slow machine) must not make the
    // answer land in a query that is over.
    EXPECT_TRUE(
        h.eval("(() => { const end = Date.now() + 400; while (Date.now() < end); return 1; })()",
               0.05)
            .is_null());
    h.turnUntil([] { return false; }, 0.8);
    EXPECT_EQ(h.eval("1 + 1"), 2);
}

TEST_F(UpdateFlow, DismissedPromptCancelsAndKeepsThePackages) {
    FlowHarness h(*service);
    h.runner().dismissPrompt = true;
    h.start();
    installSelected(h, {"talven.presenter", "talven.addin.poll"});
    waitForResults(h, 2);
    for (const char* id : {"talven.presenter", "talven.addin.poll"}) {
        EXPECT_EQ(resultFor(h, id).value("error", ""), "cancelled") << id;
    }
    EXPECT_EQ(packagesIn(h.downloads()),
              (std::vector<std::string>{"talven-poll-1.4.0.pkg", "talven-presenter-4.2.0.pkg"}));
    EXPECT_EQ(h.installedAppVersion("TALVEN Presenter.app"), "");
}

// Whether a shell waiting for this process to end (to start the new version) is running.
bool relaunchIsWaiting() {
    const std::string wanted = "/bin/kill -0 " + std::to_string(::getpid()) + " ";
    for (const auto& entry : fs::directory_iterator("/proc")) {
        auto cmdline = readWholeFile(entry.path() / "cmdline");
        if (cmdline && cmdline->find(wanted) != std::string::npos) return true;
    }
    return false;
}

// The program's own package installs last even when a request names it first, so every other
// package has its result before the relaunch.
TEST_F(UpdateFlow, SelfUpdateComesLastAndRelaunches) {
    FlowHarness h(*service);
    h.start();
    Json items = {service->product("talven.suite"), service->product("talven.presenter")};
    h.eval("window.webkit.messageHandlers.suite.postMessage(" +
           Json{{"type", "install"}, {"items", items}}.dump() + ")");
    auto results = waitForResults(h, 2);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].value("id", ""), "talven.presenter");
    EXPECT_EQ(results[1].value("id", ""), "talven.suite");
    EXPECT_EQ(h.installedAppVersion("TALVEN Presenter.app"), "4.2.0");
    EXPECT_TRUE(h.turnUntil(relaunchIsWaiting, 5)) << "no relaunch requested";
}

}  // namespace
}  // namespace suite::flows
