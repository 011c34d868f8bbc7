// From the vendor's tool to a user's machine: tools/publish writes the catalog from a real .deb,
// the local vendor service serves that folder as it is, and the program's command line installs
// the package from it through the real pkexec, install helper and apt-get, in tests/sandbox.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "console/ConsoleRun.h"
#include "fakes/DebianPackages.h"
#include "fakes/TempDir.h"
#include "flows/ConsoleMachine.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

TEST(PublishFlow, WhatThePublishingToolWritesInstalls) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
    fakes::TempDir dir;
    const auto debs = dir / "debs", out = dir / "out";
    std::filesystem::create_directories(debs);
    std::filesystem::copy(fakes::buildDeb(dir / "built", {"talven-test-published", "2.3-1", ""}),
                          debs);
    std::ofstream(dir / "products.json") << R"({"products": [{"id": "talven.published",
        "group": "app", "name": {"en": "Published", "ar": "منشور"},
        "description": {"en": "From the tool", "ar": "من الأداة"},
        "deb": {"package": "talven-test-published"}}]})";
    const auto published =
        runProcess(SUITE_SOURCE_DIR "/tools/publish",
                   {"build", (dir / "products.json").string(), debs.string(), out.string(), "--key",
                    SUITE_SOURCE_DIR "/tests/fixtures/catalog-test-key.pem", "--base-url",
                    "https://downloads.brenlow.example/suite/"},
                   {.mergeStandardError = true});
    ASSERT_TRUE(published && published->exitStatus == 0)
        << (published ? published->standardOutput : "no publish");
    VendorService vendor(dir / "vendor", {.published = out});

    ConsoleMachine machine(dir.path(), vendor);
    fakes::RecordingTerminal terminal;
    EXPECT_EQ(machine.run({"--update", "talven.published", "--yes"}, terminal), console::kDone)
        << terminal.errors;
    EXPECT_NE(terminal.output.find("Published 2.3-1: installed\n"), std::string::npos)
        << terminal.output;
    const auto dpkg =
        runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Version}", "talven-test-published"});
    EXPECT_EQ(dpkg ? dpkg->standardOutput : "", "2.3-1");
}

}  // namespace
}  // namespace suite::flows
