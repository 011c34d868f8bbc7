// Batches through the real pkexec, our real install helper, dnf or zypper and rpm, inside the
// sandbox tests/sandbox.sh makes, on a system that calls itself Fedora or openSUSE
// (fakes/RpmWorld.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "backends/rpm/RpmDatabase.h"
#include "backends/rpm/RpmPackageSystem.h"
#include "fakes/Outcomes.h"
#include "fakes/RpmWorld.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "install/InstallLog.h"
#include "platform/Digest.h"
#include "platform/Process.h"

namespace suite::rpm {
namespace {

namespace fs = std::filesystem;

class RpmInstall : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
            GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
        }
        const fs::path repo = dir.path() / "repo";
        fs::create_directories(repo);
        fs::copy(fakes::buildRpm(dir.path(), {"talven-test-runtime", "1.0"}), repo);
        world = std::make_unique<fakes::RpmWorld>(dir.path(), repo,
                                                  std::string(GetParam()) == "zypper");
        ASSERT_TRUE(world->ready()) << world->problem();
    }

    // The batch of `files`, each the product of its package's name, offered by a kept catalog
    // signed with the test key, installed through the real pkexec and helper (the first of them
    // alone through the restore helper, where `restore`).
    BatchOutcome install(const std::vector<fs::path>& files, const BatchProgress& progress = {},
                         bool restore = false) {
        std::vector<fakes::PackageOffer> offers;
        std::vector<VerifiedPackage> batch;
        for (const auto& file : files) {
            const std::string name = readPackageFile(file.string())->name;
            offers.emplace_back(name, *sha256Of(file), fs::file_size(file));
            batch.push_back({{.id = name, .detect = {{"receipts", {name}}}}, file});
        }
        const auto catalog = dir.path() / "catalog.json";
        std::ofstream(catalog) << fakes::packageCatalog(offers, "rpm");
        EXPECT_EQ(fakes::shell(SUITE_SOURCE_DIR "/tools/sign-catalog sign " SUITE_SOURCE_DIR
                                                "/tests/fixtures/catalog-test-key.pem " +
                               catalog.string() + " >/dev/null"),
                  "0:");
        RpmPackageSystem system({.helper = SUITE_INSTALL_HELPER,
                                 .restoreHelper = SUITE_RESTORE_HELPER,
                                 .catalog = catalog.string(),
                                 .signature = catalog.string() + ".sig"});
        if (restore)
            return system.restore(batch.at(0), catalog, catalog.string() + ".sig", progress);
        return system.installBatch(batch, "", progress);
    }

    fakes::TempDir dir;
    std::unique_ptr<fakes::RpmWorld> world;
};

// One transaction: an add-in that comes first and needs the app installs with it, what a package
// needs from the configured repositories comes from there, and what cannot install fails alone
// with its reason, removing nothing or going back to nothing older (only a restore goes back); a
// package whose scriptlet failed does not stay behind.
TEST_P(RpmInstall, ABatchIsOneTransactionThatRemovesNothing) {
    ASSERT_EQ(fakes::shell("rpm -i 2>/dev/null " +
                           fakes::buildRpm(dir.path(), {"talven-test-keep", "1.0"}).string()),
              "0:");
    const std::vector<fs::path> files = {
        fakes::buildRpm(dir.path(),
                        {"talven-test-addin", "1.0", "Requires: talven-test-app >= 3.0"}),
        fakes::buildRpm(dir.path(), {"talven-test-app", "3.0"}),
        fakes::buildRpm(dir.path(), {"talven-test-rival", "1.0", "Conflicts: talven-test-keep"}),
        fakes::buildRpm(dir.path(),
                        {"talven-test-needy", "1.0", "Requires: talven-no-such-package"}),
        fakes::buildRpm(dir.path(), {"talven-test-broken", "1.0", "", "echo broken >&2; exit 1"}),
        fakes::buildRpm(dir.path(), {"talven-test-foreign", "1.0", "", "", "s390x"}),
        fakes::buildRpm(dir.path(), {"talven-test-user", "2.5", "Requires: talven-test-runtime"})};
    std::vector<std::string> steps;
    const auto outcome = install(files, [&](const BatchStep& step) {
        steps.push_back(std::to_string(static_cast<int>(step.kind)) + ":" +
                        std::to_string(step.index));
    });
    using R = PackageReport;
    EXPECT_EQ(fakes::reports(outcome),
              (std::vector<R>{R::Installed, R::Installed, R::Failed, R::Failed, R::Failed,
                              R::Failed, R::Installed}))
        << ::testing::PrintToString(batchLogLines(outcome));
    const auto reasons = fakes::reasons(outcome);
    EXPECT_EQ(reasons[2], (FailureReason{"conflict", "talven-test-keep"}));
    EXPECT_EQ(reasons[3], (FailureReason{"dependency", "talven-no-such-package"}));
    EXPECT_EQ(reasons[4].code, "install");
    EXPECT_NE(reasons[4].detail.find("scriptlet failed"), std::string::npos) << reasons[4].detail;
    EXPECT_EQ(reasons[5], (FailureReason{"architecture", "s390x"}));
    // The scan reads rpm's own versions, and nothing else was touched.
    const auto installed = installedVersions(
        {"talven-test-addin", "talven-test-app", "talven-test-keep", "talven-test-runtime",
         "talven-test-user", "talven-test-rival", "talven-test-needy", "talven-test-broken"});
    EXPECT_EQ(installed, (std::map<std::string, std::string>{{"talven-test-addin", "1.0-1"},
                                                             {"talven-test-app", "3.0-1"},
                                                             {"talven-test-keep", "1.0-1"},
                                                             {"talven-test-runtime", "1.0-1"},
                                                             {"talven-test-user", "2.5-1"}}));
    // A package that would replace an installed one (its Obsoletes) is refused before anything
    // changes, though the tool could install it.
    const auto heir = install(
        {fakes::buildRpm(dir.path(), {"talven-test-heir", "1.0", "Obsoletes: talven-test-keep"})});
    EXPECT_EQ(fakes::reasons(heir)[0], (FailureReason{"conflict", "talven-test-keep"}))
        << ::testing::PrintToString(batchLogLines(heir));
    EXPECT_EQ(installedVersions({"talven-test-keep", "talven-test-heir"}).size(), 1u);
    // Nor does an install go back to an older version (only a restore does).
    const auto back = install({fakes::buildRpm(dir.path(), {"talven-test-app", "2.0"})});
    EXPECT_EQ(fakes::reasons(back)[0],
              (FailureReason{"install", "a newer talven-test-app is installed"}));
    const auto restored = install(
        {fakes::buildRpm(dir.path(), {"talven-test-user", "2.0", "Requires: talven-test-runtime"})},
        {}, true);
    EXPECT_EQ(fakes::reports(restored), std::vector<PackageReport>{PackageReport::Installed})
        << ::testing::PrintToString(batchLogLines(restored));
    EXPECT_EQ(installedVersions({"talven-test-user"}).at("talven-test-user"), "2.0-1");
    EXPECT_EQ(fakes::shell("rpm -Va talven-test-addin talven-test-app talven-test-user"), "0:");
    // Authorized first, then the app unpacked before the add-in that needs it.
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), "0:0");
    const auto at = [&](const std::string& step) {
        return std::find(steps.begin(), steps.end(), step) - steps.begin();
    };
    EXPECT_LT(at("1:1"), at("1:0"));
    fakes::shell(
        "rpm -e talven-test-addin talven-test-app talven-test-user talven-test-runtime "
        "talven-test-keep");
}

INSTANTIATE_TEST_SUITE_P(Tools, RpmInstall, ::testing::Values("dnf", "zypper"));

}  // namespace
}  // namespace suite::rpm
