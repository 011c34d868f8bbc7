// The program's side of the root helper on a pkexec written here: how one batch's run reads back,
// and how a batch longer than the helper takes is split. The real pkexec and helper are the
// system tests' (tests/system).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "fakes/Outcomes.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "install/InstallLog.h"
#include "platform/Files.h"
#include "privileged/HelperClient.h"
#include "privileged/InstallHelper.h"

namespace suite::privileged {
namespace {

namespace fs = std::filesystem;

Json item(const std::string& id, std::vector<std::string> receipts) {
    return {{"id", id}, {"version", "2.0"}, {"detect", {{"receipts", receipts}}}};
}

class HelperClient : public ::testing::Test {
  protected:
    HelperClient() {
        paths.pkexec = (dir / "pkexec").string();
        paths.helper = (dir / "helper").string();
        paths.catalog = (dir / "catalog.json").string();
        paths.signature = (dir / "catalog.json.sig").string();
    }
    // A stand-in for pkexec: records its arguments, one per line, then runs `body`.
    void fakePkexec(const std::string& body) {
        fakes::writeScript(dir / "pkexec",
                           "printf '%s\\n' \"$@\" > '" + (dir / "args").string() + "'\n" + body);
    }
    VerifiedPackage package(const Json& item) {
        const std::string id = item["id"];
        return {{.id = id, .detect = item["detect"]}, dir / (id + ".deb")};
    }

    fakes::TempDir dir;
    HelperPaths paths;
};

using fakes::reports;

TEST_F(HelperClient, OneHelperRunReportsEachPackageAndItsOutput) {
    fakePkexec(
        "printf 'noise\\nHELPER:1\\nSTEP:0:unpack\\nOUT:0:Setting up talven-a "
        "(2.0)\\nSTEP:0:setup\\n"
        "OUT:0:done\\nOK:0:2.0\\nOUT:1:dpkg: error processing\\nFAIL:1:dependency:talven-lib\\n"
        "SIGNATURE:2\\nOK:7\\nSTEP:9:unpack\\nOUT:9:x\\n'\n"
        "echo 'a warning' >&2\nexit 0\n");
    const std::vector<VerifiedPackage> batch = {
        package(item("a", {"talven-a"})), package(item("Not An Id", {})),
        package(item("b", {"talven-b"})), package(item("c", {}))};
    // Without a kept catalog the helper could only refuse: no password is asked for.
    auto outcome = installThroughHelper(paths, batch, {});
    EXPECT_FALSE(fs::exists(dir / "args"));
    EXPECT_EQ(reports(outcome), std::vector<PackageReport>(4, PackageReport::Unvouched));
    EXPECT_EQ(batchLogLines(outcome).back(), "installer: no verified catalog is kept (" +
                                                 paths.catalog +
                                                 "); check for updates, then install");

    std::ofstream(paths.catalog) << "{}";
    std::ofstream(paths.signature) << "sig";
    // Steps and results reach the caller as they come, at the batch's positions.
    std::string heard;
    outcome = installThroughHelper(paths, batch, [&](const BatchStep& step) {
        heard += std::to_string(static_cast<int>(step.kind)) + ":" + std::to_string(step.index) +
                 step.reason.code + step.version + " ";
    });
    EXPECT_EQ(heard, "0:0 1:0 2:0 3:02.0 3:2dependency 3:3 ");
    EXPECT_EQ(outcome.packages[2].reason, (FailureReason{"dependency", "talven-lib"}));
    EXPECT_EQ(outcome.packages[0].run, RunResult::Ran);
    EXPECT_EQ(reports(outcome),
              (std::vector<PackageReport>{PackageReport::Installed, PackageReport::Unvouched,
                                          PackageReport::Failed, PackageReport::Unvouched}));
    // The helper was given the kept catalog and the packages with a product id, in order.
    EXPECT_EQ(readWholeFile(dir / "args"),
              paths.helper + "\n" + paths.catalog + "\n" + paths.signature + "\na\n" +
                  (dir / "a.deb").string() + "\nb\n" + (dir / "b.deb").string() + "\nc\n" +
                  (dir / "c.deb").string() + "\n");
    const auto log = batchLogLines(outcome);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], "package 0: Setting up talven-a (2.0) | done");
}

// The helper takes a bounded number of packages: a longer batch runs it again for the rest, and a
// dismissed prompt leaves its part and what follows it not installed, and the parts before it ran.
TEST_F(HelperClient, ABatchLongerThanTheHelperTakesRunsInPartsUntilAPromptIsDismissed) {
    const std::string runs = (dir / "runs").string(), allowed = (dir / "allowed").string();
    std::ostringstream body;  // counts its packages, refuses past `allowed` runs, installs all
    body << "echo $(( ($# - 3) / 2 )) >> '" << runs << "'\n[ $(wc -l < '" << runs
         << "') -le $(cat '" << allowed << "') ] || exit 126\necho HELPER:1\ni=0\n"
         << "while [ $i -lt $(( ($# - 3) / 2 )) ]; do echo OK:$i; i=$((i + 1)); done\n";
    fakePkexec(body.str());
    std::ofstream(paths.catalog) << "{}";
    std::ofstream(paths.signature) << "sig";
    std::vector<VerifiedPackage> batch;
    for (std::size_t i = 0; i <= 2 * kMaxHelperPackages; ++i)
        batch.push_back(package(item(std::string("p").append(std::to_string(i)), {"talven-p"})));
    struct Case {
        int allowed;
        const char* runs;
        RunResult run;
        std::size_t ran;
    };
    for (const Case& c : {Case{3, "512\n512\n1\n", RunResult::Ran, 1025},
                          Case{1, "512\n512\n", RunResult::Cancelled, 512},
                          Case{0, "512\n", RunResult::Cancelled, 0}}) {
        SCOPED_TRACE(c.allowed);
        std::ofstream(allowed) << c.allowed;
        fs::remove(runs);
        const auto outcome = installThroughHelper(paths, batch, {});
        EXPECT_EQ(readWholeFile(runs), c.runs);
        EXPECT_EQ(outcome.runs.back().result, c.run);
        EXPECT_EQ(outcome.packages.back().run, c.run);
        const auto ran = std::count_if(outcome.packages.begin(), outcome.packages.end(),
                                       [](const auto& p) { return p.run == RunResult::Ran; });
        EXPECT_EQ(static_cast<std::size_t>(ran), c.ran) << "the parts that did run";
        const auto r = reports(outcome);
        EXPECT_EQ(
            static_cast<std::size_t>(std::count(r.begin(), r.end(), PackageReport::Installed)),
            c.ran);
    }
}

}  // namespace
}  // namespace suite::privileged
