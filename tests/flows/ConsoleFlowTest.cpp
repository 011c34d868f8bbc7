// The command line on the real services, inside tests/sandbox.sh: the catalog over TLS from the
// local vendor service, the real pkexec, install helper, apt-get and dpkg, and the
// administrator's policy from a real root-owned file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "console/ConsoleRun.h"
#include "flows/ConsoleMachine.h"
#include "flows/PageSteps.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

TEST(ConsoleFlow, UpdateInstallsARealPackageAndThePolicyRefusesWhatItHides) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
    VendorService& vendor = sharedVendor();
    fakes::TempDir dir;
    ConsoleMachine machine(dir.path(), vendor);

    // The company's mirror (a copy of the vendor's folder) serves the catalog and the package,
    // which is the one for this machine's architecture, not the newer one listed first for
    // another.
    std::ofstream(dir / "policy.json") << R"({"mirror": "https://internal.brenlow.example/suite"})";
    machine.config.policyFile = dir / "policy.json";
    fakes::RecordingTerminal update;
    EXPECT_EQ(machine.run({"--update", "talven.presenter", "--yes"}, update), console::kDone)
        << update.errors;
    // Without a terminal, each step is a line of its own, the administrator's prompt once.
    EXPECT_EQ(update.output,
              "TALVEN Presenter: downloading\nTALVEN Presenter: verifying\n"
              "TALVEN Presenter: waiting for the administrator's password\n"
              "TALVEN Presenter: installing\nTALVEN Presenter 4.2.0: installed\n");
    const auto dpkg = [] {
        const auto ran =
            runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Version}", "talven-presenter"});
        return ran ? ran->standardOutput : "?";
    };
    EXPECT_EQ(dpkg(), "4.2.0");
    EXPECT_EQ(vendor.requests().back()["host"], "internal.brenlow.example");

    fakes::RecordingTerminal list;
    EXPECT_EQ(machine.run({"--list", "--json"}, list), console::kDone);
    bool current = false;
    const Json listed = parseJson(list.output);
    for (const auto& product : listed["products"]) {
        current = current || (product["id"] == "talven.presenter" && product["state"] == "current");
    }
    EXPECT_TRUE(current) << list.output;
    // The page's flows that follow in this sandbox find it as they expect it: not installed.
    ASSERT_TRUE(runProcess("/usr/bin/dpkg", {"--purge", "talven-presenter"}));
    EXPECT_EQ(dpkg(), "");

    std::ofstream(dir / "policy.json") << R"({"hidden": ["talven.board"]})";
    fakes::RecordingTerminal refused;
    EXPECT_EQ(machine.run({"--update", "talven.board", "--yes"}, refused),
              console::kRefusedByPolicy);
    EXPECT_NE(refused.errors.find("\"talven.board\" is not allowed"), std::string::npos)
        << refused.errors;
    EXPECT_EQ(refused.output, "");
}

}  // namespace
}  // namespace suite::flows
