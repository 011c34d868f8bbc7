// Checking for and installing updates, driven through the page as a user would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "common/Files.h"
#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"

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
}

TEST_F(UpdateFlow, TwoProductsAreDownloadedVerifiedAndInstalled) {
    FlowHarness h(*service);
    h.installApp("TALVEN Presenter.app", "4.1.3");
    h.installReceipt("com.brenlow.talven.addin.poll", "1.2");
    h.start();
    installSelected(h, {"talven.presenter", "talven.addin.poll"});
    auto results = waitForResults(h, 2);
    ASSERT_EQ(results.size(), 2u);
    for (const auto& [id, version] : {std::pair{"talven.presenter", "4.2.0"},
                                      std::pair{"talven.addin.poll", "1.4.0"}}) {
        EXPECT_EQ(resultFor(h, id), (Json{{"type", "result"}, {"id", id}, {"ok", true},
                                           {"version", version}}));
        EXPECT_EQ(phases(h, id),
                  (std::vector<std::string>{"download", "verify", "password", "install"}))
            << id;
    }
    EXPECT_EQ(h.installedAppVersion("TALVEN Presenter.app"), "4.2.0");
    EXPECT_TRUE(packagesIn(h.downloads()).empty()) << "installed packages are removed";
    auto log = readWholeFile(h.installLog());
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("out=\"OK:0\\nOK:1\\n\""), std::string::npos) << *log;
    EXPECT_NE(log->find("package 1: installer: The install was successful."), std::string::npos)
        << *log;

    // A new check finds both up to date.
    ASSERT_TRUE(h.click("[data-action=\"check\"]"));
    EXPECT_TRUE(h.waitFor("document.querySelector('[data-product=\"talven.presenter\"]')"
                          ".dataset.state === 'current' && document.querySelector("
                          "'[data-product=\"talven.addin.poll\"]').dataset.state === 'current'"));
}

TEST_F(UpdateFlow, WrongDigestAndMissingPackageFailAloneInTheirBatch) {
    FlowHarness h(*service);
    h.start();
    installSelected(h, {"talven.presenter", "talven.addin.charts", "talven.notes"});
    waitForResults(h, 3);
    EXPECT_EQ(resultFor(h, "talven.addin.charts").value("error", ""), "check");
    EXPECT_EQ(resultFor(h, "talven.notes").value("error", ""), "download");
    EXPECT_EQ(resultFor(h, "talven.presenter").value("ok", false), true);
    EXPECT_EQ(h.installedAppVersion("TALVEN Presenter.app"), "4.2.0");
    EXPECT_EQ(h.runner().runs, 1) << "one administrator prompt for the batch";
    EXPECT_TRUE(packagesIn(h.downloads()).empty()) << "no failed or partial package is kept";
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

TEST_F(UpdateFlow, FailedInstallIsHandedToTheSystemInstaller) {
    FlowHarness h(*service);
    h.start();
    installSelected(h, {"talven.legacy"});
    ASSERT_TRUE(h.turnUntil(
        [&] {
            auto p = phases(h, "talven.legacy");
            return !p.empty() && p.back() == "installer";
        },
        60))
        << "no hand-off";
    EXPECT_TRUE(h.events("result", "talven.legacy").empty()) << "the outcome is not known yet";
    // The desktop's installer (a stand-in registered for packages) finishes the job and exits;
    // when the user comes back to the program, it looks again.
    ASSERT_TRUE(h.turnUntil([&] { return h.installedAppVersion("TALVEN Legacy.app") == "7.0.0"; },
                            20));
    h.turnUntil([] { return false; }, 0.5);
    h.delegate().applicationDidBecomeActive();
    EXPECT_EQ(resultFor(h, "talven.legacy"),
              (Json{{"type", "result"}, {"id", "talven.legacy"}, {"ok", true}, {"version", "7.0.0"}}));
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

TEST_F(UpdateFlow, SelfUpdateComesLastAndRelaunches) {
    {
        FlowHarness h(*service);
        h.installApp("TALVEN Suite.app", "3.1.0");
        h.installApp("TALVEN Presenter.app", "4.1.3");
        h.start();
        installSelected(h, {"talven.suite", "talven.presenter"});
        auto results = waitForResults(h, 2);
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0].value("id", ""), "talven.presenter") << "the page sends its own package last";
        EXPECT_EQ(results[1], (Json{{"type", "result"}, {"id", "talven.suite"}, {"ok", true},
                                    {"version", "3.2.0"}}));
        EXPECT_TRUE(h.turnUntil(relaunchIsWaiting, 5)) << "no relaunch requested";
    }
    // Should the program's own package come first in a request after all, it still installs
    // last, so every other package has its result before the relaunch.
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
