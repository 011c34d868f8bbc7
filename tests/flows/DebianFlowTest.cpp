// Installing Debian packages for real, driven through the page as a user would: the real
// pkexec, install helper, apt-get and dpkg, inside tests/sandbox.sh, which keeps every change to
// the machine from outliving the run. The tests share that sandbox, so each installs products
// of its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

class DebianFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
            GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
        }
    }
    VendorService* service = &sharedVendor();
};

TEST_F(DebianFlow, TwoPackagesInstallAndOneWithTheWrongDigestIsRefused) {
    FlowHarness h(*service, {.packages = "deb"});
    h.start();
    // The page knows this machine's architecture, so of the presenter's packages it takes the one
    // that installs, not the newer one for another architecture listed first.
    const auto dpkg = runProcess("/usr/bin/dpkg", {"--print-architecture"});
    ASSERT_TRUE(dpkg);
    EXPECT_EQ(h.eval("Suite.snapshot().arch + '\\n'"), dpkg->standardOutput);
    EXPECT_EQ(rowValue(h, "talven.presenter", "dataset.state"), "missing");
    installSelected(h, {"talven.presenter", "talven.addin.poll", "talven.addin.charts"});
    waitForResults(h, 3, 120);
    EXPECT_EQ(resultFor(h, "talven.presenter"), success("talven.presenter", "4.2.0")) << logText(h);
    EXPECT_EQ(resultFor(h, "talven.addin.poll"), success("talven.addin.poll", "1.4.0"));
    EXPECT_EQ(resultFor(h, "talven.addin.charts").value("error", ""), "check");
    EXPECT_EQ(phases(h, "talven.presenter"),
              (std::vector<std::string>{"download", "verify", "password", "install"}));
    EXPECT_EQ(dpkgStatus("talven-presenter", "install ok installed 4.2.0"),
              "install ok installed 4.2.0");
    EXPECT_EQ(dpkgStatus("talven-addin-poll", "install ok installed 1.4.0"),
              "install ok installed 1.4.0");
    EXPECT_EQ(dpkgStatus("talven-addin-charts", ""), "");
    // Results come as each package is in; the log once the run has ended.
    gtk::spinUntil([&] { return logText(h).find(" installer: ") != std::string::npos; }, 30);
    const std::string log = logText(h);
    EXPECT_TRUE(log.find(" installer: ") != std::string::npos &&
                log.find(" installer: ") == log.rfind(" installer: "))
        << "one pkexec call for the batch: " << log;
    EXPECT_TRUE(packagesIn(h.downloads()).empty()) << "installed and refused packages are gone";
}

// The desktop's installer gets what apt-get could not install (a missing dependency, a failing
// maintainer script); only dpkg's word counts, heard as its database changes, however early the
// installer's own process ends; the user stops waiting for a package that never comes.
TEST_F(DebianFlow, WhatAptCannotInstallGoesToTheDesktopsInstallerAndCountsOnlyOnceDpkgSeesIt) {
    FlowHarness h(*service, {.packages = "deb"});
    // A single-instance stand-in: it passes the file on and ends at once; the bridge is
    // installed a moment later, the other never.
    h.setDebInstaller(
        "case \"$1\" in *talven-bridge*) (sleep 2; /usr/bin/dpkg --force-depends -i \"$1\") "
        ">/dev/null 2>&1 & ;; esac");
    h.start();
    installSelected(h, {"talven.bridge", "talven.legacy"});
    ASSERT_TRUE(gtk::spinUntil(
        [&] {
            return phases(h, "talven.legacy").size() == 5 && phases(h, "talven.bridge").size() == 5;
        },
        120));
    for (const char* id : {"talven.bridge", "talven.legacy"}) {
        EXPECT_EQ(phases(h, id), (std::vector<std::string>{"download", "verify", "password",
                                                           "install", "installer"}))
            << id;
    }
    const std::string log = logText(h);
    EXPECT_NE(log.find("talven-no-such-package"), std::string::npos) << log;
    EXPECT_NE(log.find("post-installation script subprocess returned error"), std::string::npos)
        << log;
    EXPECT_EQ(dpkgStatus("talven-legacy", ""), "") << "not left half set up";

    EXPECT_TRUE(gtk::spinUntil([&] { return !resultFor(h, "talven.bridge").empty(); }, 30));
    EXPECT_EQ(resultFor(h, "talven.bridge"), success("talven.bridge", "1.0.0"));
    EXPECT_TRUE(resultFor(h, "talven.legacy").empty()) << "its installer's end is no failure";
    h.delegate().userContentController({{"type", "stopWaiting"}, {"id", "talven.legacy"}});
    gtk::spinUntil([&] { return !resultFor(h, "talven.legacy").empty(); }, 5);
    EXPECT_EQ(resultFor(h, "talven.legacy").value("error", ""), "install");
    // A package with a dependency missing makes apt-get refuse every later install; the other
    // flows share this sandbox.
    runProcess("/usr/bin/dpkg", {"--remove", "talven-bridge"});
}

// The self-update (updateItself), and dpkg's word on what it installed.
TEST_F(DebianFlow, SelfUpdateInstallsOurOwnPackageAndRelaunchesTheNewProgram) {
    if (ownDebianPackage().empty()) GTEST_SKIP() << "no package: run `cpack -G DEB` first";
    const std::string version = service->product("talven.suite", "deb")["version"];
    ASSERT_FALSE(updateItself(*service, "deb", version).empty()) << "no update offered";
    EXPECT_EQ(dpkgStatus("talven-suite", "install ok installed " + version),
              "install ok installed " + version);
    EXPECT_TRUE(fs::exists("/usr/libexec/talven-suite/install-helper"));
}

}  // namespace
}  // namespace suite::flows
