// The RPM backend against the real librpm: a database made by the real rpm under a folder of the
// test's (never the machine's), and package files made by rpmbuild. The real pkexec, helper and
// dnf are the system tests' (tests/system).
#include <gtest/gtest.h>

#include "backends/rpm/RpmDatabase.h"
#include "backends/rpm/RpmPackageSystem.h"
#include "fakes/RpmWorld.h"
#include "fakes/TempDir.h"

namespace suite::rpm {
namespace {

Json item(std::vector<std::string> receipts) {
    return {{"id", "p"}, {"detect", {{"receipts", receipts}}}};
}

TEST(RpmBackend, VersionsComeFromRpmsDatabaseAsRpmWritesThem) {
    fakes::TempDir dir;
    const auto root = dir / "root";
    const auto plain = fakes::buildRpm(dir.path(), {"talven-test-a", "2.0"});
    const auto epoch = fakes::buildRpm(dir.path(), {"talven-test-b", "1.0", "Epoch: 3"});
    const auto foreign = fakes::buildRpm(dir.path(), {"talven-test-c", "1.0", "", "", "s390x"});
    ASSERT_EQ(fakes::shell("rpm --root " + root.string() + " --initdb && rpm --root " +
                           root.string() + " -i --justdb --nodeps --ignorearch " + plain.string() +
                           " " + epoch.string() + " 2>/dev/null"),
              "0:");

    RpmPackageSystem rpm({.root = root.string()});
    EXPECT_EQ(
        rpm.installedVersions({item({"talven-test-x", "Bad Name!", "talven-test-b"}),
                               item({"talven-test-a", "talven-test-b"}), item({"talven-test-c"}),
                               Json("not an item")}),
        (std::vector<std::optional<std::string>>{"3:1.0-1", "2.0-1", std::nullopt, std::nullopt}));
    EXPECT_TRUE(rpm.detects(item({"Talven_Test+2.x"})));
    EXPECT_FALSE(rpm.detects(item({"../x", "-a", ""})));
    ASSERT_TRUE(rpm.databaseToWatch());
    EXPECT_TRUE(rpm.databaseToWatch()->starts_with(root.string() + "/"));
    EXPECT_EQ(RpmPackageSystem({.root = (dir / "nothing").string()}).databaseToWatch(),
              std::nullopt);

    // A package file's own header, and whether this machine takes its architecture.
    const auto header = readPackageFile(epoch.string());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->name + " " + header->version + " " + header->architecture,
              "talven-test-b 3:1.0-1 noarch");
    EXPECT_EQ(header->headerDigest.size(), 64u);
    EXPECT_FALSE(readPackageFile((dir / "talven-test-a.spec").string()));
    EXPECT_TRUE(machineTakes("noarch"));
    EXPECT_TRUE(machineTakes(SUITE_RPM_ARCH));
    EXPECT_FALSE(machineTakes(readPackageFile(foreign.string())->architecture));
}

}  // namespace
}  // namespace suite::rpm
