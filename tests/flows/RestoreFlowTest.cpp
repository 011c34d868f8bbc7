// Going back, through the real page, TLS, pkexec, restore helper, apt-get and dpkg inside
// tests/sandbox.sh: the program installs a product, the vendor publishes a newer version and the
// program updates it, and the history's "Restore previous version" puts the first package back,
// verified as root against the catalog that vouched for it when it went in.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fakes/DebianPackages.h"
#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

constexpr const char* kId = "talven.deb.talven-test-back";

// Installs the product from the row's own button and waits for its result.
Json installFromRow(FlowHarness& h) {
    const std::size_t before = h.events("result", kId).size();
    EXPECT_TRUE(h.click(std::string("[data-product=\"") + kId + "\"] [data-install]"));
    gtk::spinUntil([&] { return h.events("result", kId).size() > before; }, 90);
    return resultFor(h, kId);
}

TEST(RestoreFlow, TheHistoryPutsBackThePackageAnUpdateReplaced) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
    fakes::TempDir dir;
    VendorService first(
        dir / "v1",
        {.largeMiB = 1, .debs = {fakes::buildDeb(dir / "1", {"talven-test-back", "1.0.0", ""})}});
    FlowHarness h(first, {.packages = "deb"});
    h.start();
    EXPECT_EQ(installFromRow(h), success(kId, "1.0.0")) << logText(h);
    VendorService second(
        dir / "v2",
        {.largeMiB = 1, .debs = {fakes::buildDeb(dir / "2", {"talven-test-back", "2.0.0", ""})}});
    h.restart(second);
    EXPECT_EQ(installFromRow(h), success(kId, "2.0.0")) << logText(h);
    ASSERT_EQ(dpkgStatus("talven-test-back", "install ok installed 2.0.0"),
              "install ok installed 2.0.0");

    ASSERT_TRUE(h.click("[data-view=history]"));
    const std::string restore = std::string("[data-action=restore][data-id=\"") + kId + "\"]";
    // Usable once the page has drawn the update's result.
    ASSERT_TRUE(h.waitFor("document.querySelector('" + restore +
                          "')?.textContent === "
                          "'Restore previous version (1.0.0)' && "
                          "!document.querySelector('" +
                          restore + "').disabled"))
        << h.eval("document.querySelector('[data-panel=history]').innerText");
    const std::size_t before = h.events("result", kId).size();
    ASSERT_TRUE(h.click(restore));
    gtk::spinUntil([&] { return h.events("result", kId).size() > before; }, 90);
    EXPECT_EQ(resultFor(h, kId), success(kId, "1.0.0")) << logText(h);
    EXPECT_EQ(phases(h, kId).back(), "install");
    EXPECT_EQ(dpkgStatus("talven-test-back", "install ok installed 1.0.0"),
              "install ok installed 1.0.0");
    // The history says so, newest first, and offers no second way back to the same version.
    ASSERT_TRUE(
        h.waitFor("Suite.snapshot().history?.length === 3 && "
                  "!document.querySelector('" +
                  restore + "')"));
    EXPECT_EQ(h.eval("Suite.snapshot().history.map(e => [e.result, e.from, e.to].join(' '))"),
              Json::array({"restored 2.0.0 1.0.0", "updated 1.0.0 2.0.0", "installed  1.0.0"}));
    EXPECT_NE(logText(h).find("restore of " + std::string(kId) + " 1.0.0"), std::string::npos);
    const auto purged = runProcess("/usr/bin/dpkg", {"--purge", "talven-test-back"});
    EXPECT_TRUE(purged && purged->exitStatus == 0);
}

}  // namespace
}  // namespace suite::flows
