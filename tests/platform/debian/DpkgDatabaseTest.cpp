// dpkg's database and version order through libapt-pkg: a database written here, and the real
// one of this machine.
#include <gtest/gtest.h>

#include <fstream>

#include "common/Json.h"
#include "fakes/TempDir.h"
#include "platform/Process.h"
#include "platform/debian/DpkgDatabase.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

std::string paragraph(const std::string& name, const std::string& status,
                      const std::string& version, const std::string& arch = "all") {
    return "Package: " + name + "\nStatus: " + status +
           "\nPriority: optional\nArchitecture: " + arch + "\nVersion: " + version +
           "\nDescription: a test package\n continued\n\n";
}

TEST(DpkgDatabase, OnlyConfiguredPackagesCountAndTheJournalHasTheLastWord) {
    fakes::TempDir admin;
    fs::create_directories(admin / "updates");
    std::ofstream(admin / "status")
        << paragraph("plain", "install ok installed", "1:2.0-1")
        << paragraph("held", "hold ok installed", "1.0")
        << paragraph("half", "install ok half-configured", "3.0")
        << paragraph("broken", "install reinstreq installed", "3.0")
        << paragraph("removed", "deinstall ok config-files", "4.0")
        << paragraph("two-arch", "deinstall ok config-files", "5.0", "i386")
        << paragraph("two-arch", "install ok installed", "5.0", "amd64")
        << paragraph("journal-removes", "install ok installed", "6.0")
        << paragraph("unasked", "install ok installed", "7.0");
    // After an interrupted dpkg run, its journal holds changes not yet in the status file; they
    // apply in the order of their numbers.
    std::ofstream(admin / "updates" / "0002")
        << paragraph("journal-adds", "install ok installed", "9.0");
    std::ofstream(admin / "updates" / "0001")
        << paragraph("journal-adds", "install ok unpacked", "8.0")
        << paragraph("journal-removes", "purge ok not-installed", "");
    std::ofstream(admin / "updates" / "tmp.i") << paragraph("plain", "purge ok not-installed", "");

    const std::set<std::string> asked = {"plain",           "held",         "half",
                                         "broken",          "removed",      "two-arch",
                                         "journal-removes", "journal-adds", "absent"};
    EXPECT_EQ(
        installedVersions(asked, admin.path().string()),
        (std::map<std::string, std::string>{
            {"plain", "1:2.0-1"}, {"held", "1.0"}, {"two-arch", "5.0"}, {"journal-adds", "9.0"}}));
    EXPECT_TRUE(installedVersions(asked, (admin / "missing").string()).empty());
}

TEST(DpkgDatabase, ReadsThisMachinesDatabaseAsDpkgQueryDoes) {
    auto query = runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Version}", "dpkg"});
    ASSERT_TRUE(query && query->exitStatus == 0) << "dpkg-query is part of every Debian system";
    auto found = installedVersions({"dpkg", "talven-no-such-package"});
    EXPECT_EQ(found, (std::map<std::string, std::string>{{"dpkg", query->standardOutput}}));
}

// The same table the page's own rule is checked against; here libapt-pkg, dpkg's rules as
// code, vouches for the table itself.
TEST(DpkgDatabase, VersionsOrderAsDpkgOrdersThem) {
    std::ifstream in(SUITE_FIXTURES_DIR "/version-order.json");
    const auto table = Json::parse(in).at("deb");
    ASSERT_GT(table.size(), 10u);
    const auto sign = [](int n) { return (n > 0) - (n < 0); };
    for (const auto& row : table) {
        const auto a = row.at(0).get<std::string>(), b = row.at(1).get<std::string>();
        EXPECT_EQ(sign(compareDebianVersions(a, b)), row.at(2).get<int>()) << a << " vs " << b;
        EXPECT_EQ(sign(compareDebianVersions(b, a)), -row.at(2).get<int>()) << b << " vs " << a;
    }
}

TEST(DpkgDatabase, PackageNamesAreWhatDebianAllows) {
    for (const char* good : {"talven-presenter", "g++", "libc6", "0ad", "a.b"}) {
        EXPECT_TRUE(isPackageName(good)) << good;
    }
    for (const char* bad : {"", "a", "Talven", "-x", ".x", "a b", "a/b", "a_b", "..", "ä"}) {
        EXPECT_FALSE(isPackageName(bad)) << bad;
    }
}

}  // namespace
}  // namespace suite::debian
