// The Debian backend on a database written here: which packages answer for an item. The real
// pkexec, helper and apt-get are the system tests' (tests/system).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "backends/debian/DebianPackageSystem.h"
#include "fakes/Outcomes.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "install/InstallLog.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "privileged/InstallHelper.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

Json item(const std::string& id, std::vector<std::string> receipts) {
    return {{"id", id},
            {"version", "2.0"},
            {"detect", {{"apps", {"Ignored.app"}}, {"receipts", receipts}}}};
}

class DebianBackend : public ::testing::Test {
  protected:
    DebianBackend() {
        std::ofstream(dir / "status") << "Package: talven-a\nStatus: install ok "
                                         "installed\nArchitecture: all\nVersion: 2.0-1\n\n"
                                         "Package: talven-b\nStatus: install ok "
                                         "installed\nArchitecture: all\nVersion: 1:1.0\n\n";
        paths.adminDir = dir.path().string();
    }

    fakes::TempDir dir;
    DebianPaths paths;
};

TEST_F(DebianBackend, FirstInstalledReceiptAnswersAndApplicationsAreNotLookedFor) {
    DebianPackageSystem debian(paths);
    const std::vector<Json> items = {item("none", {"talven-x", "Bad Name"}),
                                     item("second", {"talven-x", "talven-b", "talven-a"}),
                                     item("apps-only", {}), Json("not an item")};
    EXPECT_EQ(debian.installedVersions(items),
              (std::vector<std::optional<std::string>>{std::nullopt, "1:1.0", std::nullopt,
                                                       std::nullopt}));
    EXPECT_TRUE(debian.detects(items[0]));
    EXPECT_FALSE(debian.detects(item("bad", {"Bad Name", "../x"})));
    EXPECT_FALSE(debian.detects(items[2]));
}

}  // namespace
}  // namespace suite::debian
