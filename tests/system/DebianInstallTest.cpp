// One batch through the real pkexec, our real install helper, apt-get and dpkg, inside the
// sandbox that tests/sandbox.sh makes (nothing installed here outlives the test run).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "fakes/TempDir.h"
#include "platform/Digest.h"
#include "platform/Process.h"
#include "platform/debian/DebianPackageSystem.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

struct Deb {
    std::string name, version, depends;
};

// A real Debian package built with dpkg-deb: one file under /opt/talven-test/<name>.
fs::path build(const fs::path& dir, const Deb& deb) {
    const fs::path root = dir / (deb.name + "-root");
    fs::create_directories(root / "DEBIAN");
    fs::create_directories(root / "opt" / "talven-test" / deb.name);
    std::ofstream(root / "opt" / "talven-test" / deb.name / "VERSION") << deb.version << "\n";
    std::ofstream(root / "DEBIAN" / "control")
        << "Package: " << deb.name << "\nVersion: " << deb.version
        << "\nArchitecture: all\nMaintainer: Tests <tests@brenlow.example>\n"
        << (deb.depends.empty() ? "" : "Depends: " + deb.depends + "\n")
        << "Description: a package for the install tests\n";
    const fs::path file = dir / (deb.name + "_" + deb.version + "_all.deb");
    auto run = runProcess("/usr/bin/dpkg-deb", {"--build", "--root-owner-group", "-Zgzip",
                                                root.string(), file.string()});
    EXPECT_TRUE(run && run->exitStatus == 0) << deb.name;
    return file;
}

Json item(const std::string& name, const std::string& version, const fs::path& file) {
    return {{"id", name},
            {"version", version},
            {"sha256", *sha256Of(file)},
            {"detect", {{"receipts", {name}}}}};
}

std::string dpkgStatus(const std::string& name) {
    auto run = runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Status} ${Version}", name});
    return run && run->exitStatus == 0 ? run->standardOutput : "";
}

class DebianInstall : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
            GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
        }
    }
    DebianPackageSystem system() { return DebianPackageSystem({.helper = SUITE_INSTALL_HELPER}); }
    fakes::TempDir dir;
};

// What apt-get makes of unmet dependencies and failing scripts, through the page, is the Debian
// flows' (tests/flows); here what only the helper can do.
TEST_F(DebianInstall, ThePackageChangedAfterTheProgramsCheckIsRefusedAsRoot) {
    const auto good = build(dir.path(), {"talven-test-good", "2.0-1", "dpkg"});
    const auto swapped = build(dir.path(), {"talven-test-swapped", "1.0", ""});
    std::vector<VerifiedPackage> batch = {{item("talven-test-swapped", "1.0", swapped), swapped},
                                          {item("talven-test-good", "2.0-1", good), good}};
    // Changed after the program's own check, while the request for rights was up.
    std::ofstream(swapped, std::ios::app) << "appended";

    auto outcome = system().installBatch(batch, "");
    EXPECT_EQ(outcome.run, BatchOutcome::Run::Ran);
    EXPECT_EQ(outcome.reports,
              (std::vector<PackageReport>{PackageReport::Refused, PackageReport::Installed}));
    EXPECT_EQ(dpkgStatus("talven-test-good"), "install ok installed 2.0-1");
    EXPECT_EQ(dpkgStatus("talven-test-swapped"), "");
    EXPECT_TRUE(fs::exists("/opt/talven-test/talven-test-good/VERSION"));
    ASSERT_GE(outcome.log.size(), 2u);
    EXPECT_TRUE(outcome.log[1].starts_with("package 0: refused: its SHA-256 is")) << outcome.log[1];
}

}  // namespace
}  // namespace suite::debian
