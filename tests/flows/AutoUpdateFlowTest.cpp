// Updates that take care of themselves, through the real page, TLS, pkexec, install helper,
// apt-get and dpkg inside tests/sandbox.sh. The check at start finds an older Live Poll and an
// older Charts (whose catalog digest is wrong): where a password would be needed the poll waits,
// verified, for the user's one click; where polkit needs none (it never asks root) it goes in at
// once. The history keeps both updates and both failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "BuildConfig.h"
#include "fakes/DebianPackages.h"
#include "fakes/FakePlatform.h"
#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

constexpr const char* kAuto = R"({"lang":"en","autoInstall":true})";

// The package `name` at version 1.0.0, installed with dpkg as if an earlier update had.
void installOld(const fs::path& dir, const std::string& name) {
    const auto in = runProcess("/usr/bin/dpkg", {"-i", fakes::buildDeb(dir, {name, "1.0.0", ""})});
    ASSERT_TRUE(in && in->exitStatus == 0);
}

std::size_t pollDownloads(VendorService& service) {
    const std::string file = service.product("talven.addin.poll", "deb")["file"];
    return std::ranges::count_if(
        service.requests(), [&](const Json& r) { return r.value("path", "").ends_with(file); });
}

TEST(AutoUpdateFlow, UpdatesWaitVerifiedForOneClickOrGoInAtOnceWherePolkitAllows) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
    VendorService& service = sharedVendor();
    fakes::TempDir dir;
    installOld(dir.path(), "talven-addin-poll");
    installOld(dir.path(), "talven-addin-charts");
    const std::size_t before = pollDownloads(service);
    {
        fakes::FakeUpdateConditions asks;  // as for a user the administrator's rule does not name
        FlowHarness h(service, {.packages = "deb", .settings = kAuto, .conditions = &asks});
        h.start();
        ASSERT_TRUE(h.waitFor("Suite.snapshot().autoUpdate?.state === 'ready'", 60)) << logText(h);
        EXPECT_EQ(h.events("autoUpdate").back()["ids"], Json::array({"talven.addin.poll"}));
        EXPECT_EQ(resultFor(h, "talven.addin.charts").value("error", ""), "check");
        EXPECT_TRUE(
            h.waitFor("document.querySelector('[data-headline]').textContent === 'Updates ready to "
                      "install'"));
        EXPECT_EQ(dpkgStatus("talven-addin-poll", "install ok installed 1.0.0"),
                  "install ok installed 1.0.0")
            << "nothing installed without the user";
        // Its row is back to plain once the page has drawn the events in their order.
        ASSERT_TRUE(h.waitFor("!('talven.addin.poll' in Suite.snapshot().install.items)"));
        ASSERT_TRUE(h.click("[data-action=\"update-all\"]"));
        ASSERT_TRUE(gtk::spinUntil([&] { return !resultFor(h, "talven.addin.poll").empty(); }, 90))
            << logText(h);
        EXPECT_EQ(resultFor(h, "talven.addin.poll"), success("talven.addin.poll", "1.4.0"));
        EXPECT_EQ(pollDownloads(service), before + 1) << "downloaded once";
    }
    installOld(dir.path(), "talven-addin-poll");
    // The program's polkit action, as its package installs it; polkitd reads it when it notices.
    const auto action = runProcess(
        "/bin/sh",
        {"-c", "sed -e 's|@SUITE_APP_ID@|" SUITE_APP_ID "|' " SUITE_SOURCE_DIR
               "/packaging/talven-suite.policy.in > /usr/share/polkit-1/actions/" SUITE_APP_ID
               ".policy && for i in $(seq 50); do pkaction --action-id " SUITE_APP_ID
               ".install >/dev/null 2>&1 && exit 0; sleep 0.2; done; exit 1"});
    ASSERT_TRUE(action && action->exitStatus == 0);
    FlowHarness h(service, {.packages = "deb", .settings = kAuto});
    h.start();
    ASSERT_TRUE(gtk::spinUntil([&] { return !resultFor(h, "talven.addin.poll").empty(); }, 90))
        << logText(h);
    EXPECT_EQ(h.events("autoUpdate").back()["state"], "installing");
    EXPECT_EQ(resultFor(h, "talven.addin.poll"), success("talven.addin.poll", "1.4.0"));
    EXPECT_NE(logText(h).find("installing without a prompt"), std::string::npos) << logText(h);
    EXPECT_EQ(dpkgStatus("talven-addin-poll", "install ok installed 1.4.0"),
              "install ok installed 1.4.0");
    // The result comes as the package is in; the run (and dpkg's lock) ends a little later.
    gtk::spinUntil([&] { return logText(h).find(" installer: ") != std::string::npos; }, 30);
    // This harness's own history: the update that went in and the failure beside it.
    h.delegate().userContentController({{"type", "history"}});
    ASSERT_TRUE(h.waitFor("Suite.snapshot().history?.length === 2"));
    const Json entries =
        h.eval("Suite.snapshot().history.map(e => [e.id, e.result, e.from, e.error].join(' '))");
    EXPECT_EQ(entries, Json::array({"talven.addin.poll updated 1.0.0 ",
                                    "talven.addin.charts failed 1.0.0 check"}));
    const auto purged =
        runProcess("/usr/bin/dpkg", {"--purge", "talven-addin-poll", "talven-addin-charts"});
    EXPECT_TRUE(purged && purged->exitStatus == 0) << (purged ? purged->standardOutput : "");
}

}  // namespace
}  // namespace suite::flows
