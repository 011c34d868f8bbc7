// One batch through the real pkexec, our real install helper, apt-get and dpkg, inside the
// sandbox that tests/sandbox.sh makes (nothing installed here outlives the test run), with
// catalogs signed by the test key, which the tests' helper trusts and the users' does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "backends/debian/DebianHelper.h"
#include "backends/debian/DebianPackageSystem.h"
#include "fakes/DebianPackages.h"
#include "fakes/Outcomes.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "install/InstallLog.h"
#include "platform/Digest.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

InstallItem item(const std::string& name) {
    return {.id = name, .detect = {{"receipts", {name}}}};
}

// The kept catalog as the program keeps it, signed with the test key, offering `debs` by the
// product ids of their package names.
std::pair<std::string, std::string> keepCatalog(const fs::path& dir,
                                                const std::vector<fs::path>& debs) {
    std::vector<fakes::PackageOffer> offers;
    for (const auto& deb : debs) {
        const std::string file = deb.filename().string();
        offers.emplace_back(file.substr(0, file.find('_')), *sha256Of(deb), fs::file_size(deb));
    }
    const auto catalog = dir / "catalog.json";
    std::ofstream(catalog) << fakes::packageCatalog(offers);
    auto sign = runProcess(
        SUITE_SOURCE_DIR "/tools/sign-catalog",
        {"sign", SUITE_SOURCE_DIR "/tests/fixtures/catalog-test-key.pem", catalog.string()});
    EXPECT_TRUE(sign && sign->exitStatus == 0);
    return {catalog.string(), catalog.string() + ".sig"};
}

std::string dpkgStatus(const std::string& name) {
    auto run = runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Status} ${Version}", name});
    return run && run->exitStatus == 0 ? run->standardOutput : "";
}

std::string shell(const std::string& line) {
    ProcessOptions options;
    options.mergeStandardError = true;
    auto run = runProcess("/bin/sh", {"-c", line}, options);
    return run ? std::to_string(run->exitStatus) + ":" + run->standardOutput : "no shell";
}

class DebianInstall : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
            GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
        }
    }
    DebianPackageSystem system(const std::pair<std::string, std::string>& kept,
                               const char* helper = SUITE_INSTALL_HELPER) {
        return DebianPackageSystem(
            {.helper = helper, .catalog = kept.first, .signature = kept.second});
    }
    fakes::TempDir dir;
};

// What apt-get makes of unmet dependencies and failing scripts, through the page, is the Debian
// flows' (tests/flows); here what only the helper can do.
TEST_F(DebianInstall, RootInstallsOnlyWhatTheSignedCatalogVouchesFor) {
    const auto good = fakes::buildDeb(dir.path(), {"talven-test-good", "2.0-1", "dpkg"});
    const auto swapped = fakes::buildDeb(dir.path(), {"talven-test-swapped", "1.0", ""});
    const auto unlisted = fakes::buildDeb(dir.path(), {"talven-test-unlisted", "1.0", ""});
    const auto kept = keepCatalog(dir.path(), {good, swapped});
    std::vector<VerifiedPackage> batch = {{item("talven-test-swapped"), swapped},
                                          {item("talven-test-unlisted"), unlisted},
                                          {item("talven-test-good"), good}};
    // Changed after the program's own check, while the request for rights was up: 1 GiB, sparse
    // so it costs nothing here, where the copies go to a small file system that stays usable.
    fs::resize_file(swapped, 1ull << 30);
    ASSERT_EQ(shell("mount -t tmpfs -o size=24m tmpfs /var/tmp"), "0:");

    // The helper users install trusts only the vendor's keys: the test key vouches for nothing.
    auto outcome = system(kept, SUITE_USER_INSTALL_HELPER).installBatch(batch, "", {});
    EXPECT_EQ(fakes::reports(outcome), std::vector<PackageReport>(3, PackageReport::Unvouched));
    EXPECT_EQ(dpkgStatus("talven-test-good"), "");

    outcome = system(kept).installBatch(batch, "", {});
    const auto used = shell("df --output=used -B1M /var/tmp | tail -1");
    shell("umount /var/tmp");
    EXPECT_LT(std::stoi(used.substr(2)), 8) << used;
    EXPECT_EQ(outcome.runs.back().result, RunResult::Ran);
    EXPECT_EQ(fakes::reports(outcome),
              (std::vector<PackageReport>{PackageReport::Refused, PackageReport::Unvouched,
                                          PackageReport::Installed}));
    EXPECT_EQ(dpkgStatus("talven-test-good"), "install ok installed 2.0-1");
    EXPECT_EQ(dpkgStatus("talven-test-swapped"), "");
    EXPECT_EQ(dpkgStatus("talven-test-unlisted"), "") << "its digest was right, but unsigned";
    EXPECT_TRUE(fs::exists("/opt/talven-test/talven-test-good/VERSION"));
}

// One transaction for the whole batch: packages that need each other install in any order, what
// they need from the configured repositories comes from there, dpkg unpacks the copies root
// verified (not a repository's copy of the same version), and what cannot install fails alone
// with its reason, removing nothing.
TEST_F(DebianInstall, ABatchIsOneTransactionThatInstallsTheVerifiedCopiesAndRemovesNothing) {
    const fs::path repo = dir.path() / "repo";
    fs::create_directories(repo);
    fakes::buildDeb(repo, {"talven-test-lib", "1.0", ""});
    fakes::buildDeb(repo, {"talven-test-app", "3.0", "", "touch /opt/talven-test/repository-copy"});
    const std::string keep = fakes::buildDeb(dir.path(), {"talven-test-keep", "1.0", ""}).string();
    ASSERT_EQ(shell("cd " + repo.string() +
                    " && dpkg-scanpackages . > Packages 2>/dev/null && chmod -R a+rX " +
                    dir.path().string() + " && echo 'deb [trusted=yes] file:" + repo.string() +
                    " ./' > /etc/apt/sources.list.d/talven-test.list && apt-get update -qq -o "
                    "Dir::Etc::SourceList=/etc/apt/sources.list.d/talven-test.list -o "
                    "Dir::Etc::SourceParts=- -o APT::Get::List-Cleanup=0 && dpkg -i " +
                    keep + " >/dev/null"),
              "0:");
    const std::vector<fs::path> debs = {
        fakes::buildDeb(dir.path(),
                        {"talven-test-addin", "1.0", "talven-test-app (>= 3.0), talven-test-lib"}),
        fakes::buildDeb(dir.path(), {"talven-test-app", "3.0", ""}),
        fakes::buildDeb(dir.path(), {"talven-test-rival", "1.0", "", "", "talven-test-keep"}),
        fakes::buildDeb(dir.path(), {"talven-test-foreign", "1.0", "", "", "", "s390x"}),
        fakes::buildDeb(dir.path(), {"talven-test-needy", "1.0", "talven-no-such-package"})};
    std::vector<VerifiedPackage> batch;
    for (const auto& deb : debs) {
        const std::string name = deb.filename().string();
        batch.push_back({item(name.substr(0, name.find('_'))), deb});
    }
    std::vector<std::string> steps;
    const auto outcome =
        system(keepCatalog(dir.path(), debs)).installBatch(batch, "", [&](const BatchStep& step) {
            steps.push_back(std::to_string(static_cast<int>(step.kind)) + ":" +
                            std::to_string(step.index));
        });
    EXPECT_EQ(fakes::reports(outcome),
              (std::vector<PackageReport>{PackageReport::Installed, PackageReport::Installed,
                                          PackageReport::Failed, PackageReport::Failed,
                                          PackageReport::Failed}))
        << ::testing::PrintToString(batchLogLines(outcome));
    EXPECT_EQ(fakes::reasons(outcome),
              (std::vector<FailureReason>{{},
                                          {},
                                          {"conflict", "talven-test-keep"},
                                          {"architecture", "s390x"},
                                          {"dependency", "talven-no-such-package"}}));
    EXPECT_EQ(dpkgStatus("talven-test-keep"), "install ok installed 1.0");
    EXPECT_EQ(dpkgStatus("talven-test-lib"), "install ok installed 1.0");
    EXPECT_EQ(dpkgStatus("talven-test-app"), "install ok installed 3.0");
    EXPECT_FALSE(fs::exists("/opt/talven-test/repository-copy")) << "the repository's copy ran";
    EXPECT_EQ(shell("apt-mark showauto talven-test-lib"), "0:talven-test-lib\n");
    for (const char* name : {"talven-test-rival", "talven-test-foreign", "talven-test-needy"}) {
        EXPECT_EQ(dpkgStatus(name), "") << name;
    }
    // Authorized, then the app (the add-in needs it) unpacked before the add-in, then results.
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), "0:0");
    const auto at = [&](const std::string& step) {
        return std::find(steps.begin(), steps.end(), step) - steps.begin();
    };
    EXPECT_LT(at("1:1"), at("1:0"));
    EXPECT_LT(at("3:1"), static_cast<long>(steps.size()));
    EXPECT_LT(at("3:0"), static_cast<long>(steps.size()));
    shell(
        "rm /etc/apt/sources.list.d/talven-test.list && dpkg --purge talven-test-addin "
        "talven-test-app talven-test-lib talven-test-keep");
}

// A maintainer script that never ends: at the time limit the whole install ends, dpkg and the
// script included, and dpkg's database is left as if the package had never come.
TEST_F(DebianInstall, AnInstallPastItsTimeLimitLeavesNoToolRunningAndAConsistentDatabase) {
    const auto hang = fakes::buildDeb(dir.path(), {"talven-test-hang", "1.0", "", "sleep 419"});
    const auto kept = keepCatalog(dir.path(), {hang});
    const privileged::HelperSettings settings{.installTimeoutSeconds = 8,
                                              .adoptsOrphans = adoptOrphans()};
    DebianHelper backend({}, settings);
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(
        privileged::runInstallHelper({kept.first, kept.second, "talven-test-hang", hang.string()},
                                     out, stderr, backend, settings),
        0);
    const std::string printed = fakes::readBack(out);
    EXPECT_EQ(readInstallerRecords(printed, 1).results,
              std::vector<InstallerResult>{InstallerResult::Failed});
    EXPECT_NE(printed.find("stopped: no end after"), std::string::npos) << printed;
    const std::string script = std::string("sleep") + '\0' + "419" + '\0';  // its command line
    for (const auto& process : fs::directory_iterator("/proc")) {
        EXPECT_NE(readWholeFile(process.path() / "cmdline"), script)
            << "the maintainer script outlived the helper: " << process.path();
    }
    EXPECT_EQ(shell("dpkg --audit"), "0:");
    EXPECT_EQ(dpkgStatus("talven-test-hang"), "");
}

// The command line's updates run the helper in the terminal's foreground group: a Ctrl-C there
// reaches it, and the transaction still finishes with its records.
TEST_F(DebianInstall, AnInterruptFromTheTerminalDoesNotCutAnInstallShort) {
    const auto slow = fakes::buildDeb(dir.path(), {"talven-test-slow", "1.0", "", "sleep 2"});
    const auto kept = keepCatalog(dir.path(), {slow});
    // A shell starts background jobs with SIGINT ignored; a terminal's foreground group has it.
    EXPECT_EQ(shell("env --default-signal=INT " SUITE_INSTALL_HELPER " " + kept.first + " " +
                    kept.second + " talven-test-slow " + slow.string() +
                    " >/dev/null 2>&1 & sleep 1; kill -INT $!; wait $!; echo $?"),
              "0:0\n");
    EXPECT_EQ(dpkgStatus("talven-test-slow"), "install ok installed 1.0");
    EXPECT_EQ(shell("dpkg --audit"), "0:");
    shell("dpkg --purge talven-test-slow");
}

// Going back to an older version is a restore's alone: the signed catalog that vouches for it
// does not let an install go back, and a restore takes the catalog kept with it long after it
// expired, though never one it cannot verify.
TEST_F(DebianInstall, OnlyARestoreGoesBackAndOnlyTheKeptCatalogsExpiryIsWaived) {
    const auto older = fakes::buildDeb(dir.path(), {"talven-test-down", "1.0", ""});
    const auto newer = fakes::buildDeb(dir.path(), {"talven-test-down", "2.0", ""});
    const auto kept = keepCatalog(dir.path(), {older, newer});
    const auto run = [&](const fs::path& deb, const privileged::HelperSettings& settings) {
        DebianHelper backend({}, settings);
        std::FILE* out = std::tmpfile();
        privileged::runInstallHelper({kept.first, kept.second, "talven-test-down", deb.string()},
                                     out, stderr, backend, settings);
        return readInstallerRecords(fakes::readBack(out), 1).results;
    };
    using R = std::vector<InstallerResult>;
    EXPECT_EQ(run(newer, {}), R{InstallerResult::Installed});
    EXPECT_EQ(run(older, {}), R{InstallerResult::Failed});
    EXPECT_EQ(dpkgStatus("talven-test-down"), "install ok installed 2.0");
    const auto in2100 = [] { return std::int64_t{4102444800}; };  // the catalog expires in 2099
    EXPECT_EQ(run(older, {.now = in2100}), R{InstallerResult::Unvouched});
    EXPECT_EQ(run(older, {.keys = {}, .now = in2100, .restore = true}),
              R{InstallerResult::Unvouched});
    EXPECT_EQ(run(older, {.now = in2100, .restore = true}), R{InstallerResult::Installed});
    EXPECT_EQ(dpkgStatus("talven-test-down"), "install ok installed 1.0");
    // The restore helper is one by its file's name: one package at a time.
    EXPECT_EQ(shell(SUITE_RESTORE_HELPER " /c /s a /a b /b 2>&1 | head -c 21"),
              "0:usage: restore-helper");
}

// The group rule an administrator may add (README): a member installs without being asked, and
// anyone else still needs an administrator (here no agent can ask, so pkexec gives up); so does
// the member, to restore an older version.
TEST_F(DebianInstall, TheGroupRuleLetsMembersInstallWithoutAPassword) {
    const auto good = fakes::buildDeb(dir.path(), {"talven-test-group", "1.0", ""});
    const auto kept = keepCatalog(dir.path(), {good});
    ASSERT_EQ(shell("sed -e 's|@SUITE_APP_ID@|" SUITE_APP_ID
                    "|' -e 's|@SUITE_HELPER@|" SUITE_INSTALL_HELPER
                    "|' -e 's|@SUITE_RESTORE_HELPER@|" SUITE_RESTORE_HELPER "|' " SUITE_SOURCE_DIR
                    "/packaging/talven-suite.policy.in > "
                    "/usr/share/polkit-1/actions/" SUITE_APP_ID ".policy && cp " SUITE_SOURCE_DIR
                    "/packaging/talven-suite-group.rules /etc/polkit-1/rules.d/ && groupadd "
                    "talven-updaters && useradd -G talven-updaters member && useradd outsider"),
              "0:");
    const std::string pkexec = " pkexec " SUITE_INSTALL_HELPER " " + kept.first + " " +
                               kept.second + " talven-test-group " + good.string();
    // polkitd reads new actions and rules when it notices them: tried for up to 10 s.
    const auto member = shell(
        "for i in $(seq 50); do setpriv --reuid member --regid member "
        "--init-groups" +
        pkexec + " && break; sleep 0.2; done");
    EXPECT_NE(member.find("OK:0"), std::string::npos) << member;
    EXPECT_EQ(dpkgStatus("talven-test-group"), "install ok installed 1.0");
    const auto outsider = shell("setpriv --reuid outsider --regid outsider --init-groups" + pkexec);
    EXPECT_EQ(outsider.find("HELPER:1"), std::string::npos) << outsider;
    EXPECT_NE(outsider.find("authentication agent"), std::string::npos) << outsider;
    const auto restore = shell(
        "setpriv --reuid member --regid member --init-groups pkexec " SUITE_RESTORE_HELPER " " +
        kept.first + " " + kept.second + " talven-test-group " + good.string());
    EXPECT_NE(restore.find("authentication agent"), std::string::npos) << restore;
}

}  // namespace
}  // namespace suite::debian
