// Installing RPM packages for real on a system that calls itself Fedora (fakes/RpmWorld.h),
// driven through the page as a user would: the real pkexec, install helper, dnf and rpm, inside
// tests/sandbox.sh, with the vendor's packages over TLS from the local vendor service and what
// they need from its repository.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "BuildConfig.h"
#include "backends/rpm/RpmDatabase.h"
#include "fakes/RpmWorld.h"
#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

class RpmFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
            GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
        }
        // The system's own packages stand for what the program's RPM needs of it: Debian's
        // libraries are in no rpm database.
        std::string provides;
        if (!ownRpmPackage().empty()) {
            auto asked =
                runProcess("/usr/bin/rpm", {"-qp", "--requires", ownRpmPackage().string()});
            if (asked) provides = asked->standardOutput;
        }
        world = std::make_unique<fakes::RpmWorld>(dir.path(), service->rpmRepository(), false,
                                                  provides);
        ASSERT_TRUE(world->ready()) << world->problem();
    }
    // The version of `id`'s rpm package for this machine, as the catalog offers it.
    std::string offered(const std::string& id) {
        const Json variants = service->product(id, "rpm");
        for (const auto& variant : variants.is_array() ? variants : Json::array({variants})) {
            if (variant["arch"] == SUITE_RPM_ARCH || variant["arch"] == "noarch")
                return variant["version"];
        }
        return "";
    }
    std::string installed(const std::string& name) {
        const auto found = rpm::installedVersions({name});
        return found.empty() ? "" : found.begin()->second;
    }

    VendorService* service = &sharedVendor();
    fakes::TempDir dir;
    std::unique_ptr<fakes::RpmWorld> world;
};

// The add-in comes before the app it needs; the app needs a package only the repository has.
TEST_F(RpmFlow, TwoPackagesInstallWithOnePromptAndOneWithTheWrongDigestIsRefused) {
    FlowHarness h(*service, {.packages = "rpm"});
    h.start();
    EXPECT_EQ(h.eval("Suite.snapshot().packages + ' ' + Suite.snapshot().arch"),
              std::string("rpm ") + SUITE_RPM_ARCH);
    installSelected(h, {"talven.addin.timer", "talven.presenter", "talven.addin.charts"});
    waitForResults(h, 3, 180);
    const std::string log = logText(h);
    EXPECT_EQ(resultFor(h, "talven.presenter"),
              success("talven.presenter", offered("talven.presenter")))
        << log;
    EXPECT_EQ(resultFor(h, "talven.addin.timer"),
              success("talven.addin.timer", offered("talven.addin.timer")));
    EXPECT_EQ(resultFor(h, "talven.addin.charts").value("error", ""), "check");
    EXPECT_EQ(installed("talven-presenter"), offered("talven.presenter"));
    EXPECT_EQ(installed("talven-runtime").empty(), false) << "from the repository";
    EXPECT_EQ(installed("talven-addin-charts"), "");
    gtk::spinUntil([&] { return logText(h).find(" installer: ") != std::string::npos; }, 30);
    const std::string after = logText(h);
    EXPECT_EQ(after.find(" installer: "), after.rfind(" installer: ")) << "one pkexec call";

    // Started again, the program's scan reads both from rpm's database.
    h.restart(true, true);
    for (const char* id : {"talven.presenter", "talven.addin.timer"}) {
        EXPECT_EQ(rowValue(h, id, "dataset.state"), "current") << id;
        EXPECT_NE(rowValue(h, id, "innerText").find(offered(id)), std::string::npos) << id;
    }
}

// What dnf could not install goes to the desktop's installer for RPM packages, and counts only
// once rpm's database shows it, however early that installer's own process ends.
TEST_F(RpmFlow, WhatDnfCannotInstallCountsOnceRpmSeesItFromTheDesktopsInstaller) {
    FlowHarness h(*service, {.packages = "rpm"});
    h.setDebInstaller("(sleep 2; /usr/bin/rpm -i --nodeps \"$1\") >/dev/null 2>&1 &");
    h.start();
    installSelected(h, {"talven.bridge"});
    ASSERT_TRUE(gtk::spinUntil([&] { return phases(h, "talven.bridge").size() == 5; }, 120))
        << logText(h);
    EXPECT_NE(logText(h).find("talven-no-such-package"), std::string::npos) << logText(h);
    EXPECT_TRUE(gtk::spinUntil([&] { return !resultFor(h, "talven.bridge").empty(); }, 30));
    EXPECT_EQ(resultFor(h, "talven.bridge"), success("talven.bridge", offered("talven.bridge")));
    runProcess("/usr/bin/rpm", {"-e", "--nodeps", "talven-bridge"});
}

// The self-update (updateItself) through dnf, and rpm's word on what it installed.
TEST_F(RpmFlow, SelfUpdateInstallsOurOwnRpmAndRelaunchesTheNewProgram) {
    if (ownRpmPackage().empty()) GTEST_SKIP() << "no package: run `cpack -G RPM` first";
    ASSERT_FALSE(updateItself(*service, "rpm", offered("talven.suite")).empty())
        << "no update offered";
    EXPECT_EQ(installed("talven-suite"), offered("talven.suite"));
}

}  // namespace
}  // namespace suite::flows
