// dpkg's database and version order through libapt-pkg: a database written here, and the real
// one of this machine.
#include <gtest/gtest.h>

#include <fstream>

#include "backends/debian/DpkgDatabase.h"
#include "fakes/TempDir.h"
#include "fakes/VersionTable.h"

namespace suite::debian {
namespace {

std::string paragraph(const std::string& name, const std::string& status,
                      const std::string& version, const std::string& arch = "all") {
    return "Package: " + name + "\nStatus: " + status +
           "\nPriority: optional\nArchitecture: " + arch + "\nVersion: " + version +
           "\nDescription: a test package\n continued\n\n";
}

TEST(DpkgDatabase, OnlyConfiguredPackagesCountAndTheJournalHasTheLastWord) {
    fakes::TempDir admin;
    std::filesystem::create_directories(admin / "updates");
    std::ofstream(admin / "status")
        << paragraph("plain", "install ok installed", "1:2.0-1")
        << paragraph("held", "hold ok installed", "1.0")
        << paragraph("half", "install ok half-configured", "3.0")
        << paragraph("two-arch", "deinstall ok config-files", "5.0", "i386")
        << paragraph("two-arch", "install ok installed", "5.0", "amd64")
        << paragraph("journal-removes", "install ok installed", "6.0");
    // After an interrupted dpkg run, its journal holds changes not yet in the status file; they
    // apply in the order of their numbers.
    std::ofstream(admin / "updates" / "0002")
        << paragraph("journal-adds", "install ok installed", "9.0");
    std::ofstream(admin / "updates" / "0001")
        << paragraph("journal-adds", "install ok unpacked", "8.0")
        << paragraph("journal-removes", "purge ok not-installed", "");

    const std::set<std::string> asked = {
        "plain", "held", "half", "two-arch", "journal-adds", "journal-removes", "absent"};
    EXPECT_EQ(
        installedVersions(asked, admin.path().string()),
        (std::map<std::string, std::string>{
            {"plain", "1:2.0-1"}, {"held", "1.0"}, {"two-arch", "5.0"}, {"journal-adds", "9.0"}}));
    EXPECT_TRUE(installedVersions(asked, (admin / "missing").string()).empty());
}

// The same table the page's own rule is checked against; here libapt-pkg, dpkg's rules as
// code, vouches for the table itself.
TEST(DpkgDatabase, VersionsOrderAsDpkgOrdersThem) {
    fakes::expectVersionTableOrder("deb", [](const std::string& a, const std::string& b) {
        return compareDebianVersions(a, b);
    });
}

TEST(DpkgDatabase, PackageNamesAreWhatDebianAllows) {
    for (const char* good : {"talven-presenter", "g++", "0ad"})
        EXPECT_TRUE(isPackageName(good)) << good;
    for (const char* bad : {"a", "Talven", "-x", "a/b", ".."})
        EXPECT_FALSE(isPackageName(bad)) << bad;
}

}  // namespace
}  // namespace suite::debian
