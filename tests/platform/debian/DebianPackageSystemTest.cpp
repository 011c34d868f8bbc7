// The Debian backend on a database and tools written here: which packages answer for an item,
// and how one batch's run through pkexec and the helper reads back. The real pkexec, helper and
// apt-get are the system tests' (tests/system).
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/debian/DebianPackageSystem.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

const std::string kDigest(64, 'a');

Json item(const std::string& id, std::vector<std::string> receipts, Json sha256 = kDigest) {
    return {{"id", id},
            {"version", "2.0"},
            {"sha256", sha256},
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
        paths.pkexec = (dir / "pkexec").string();
        paths.helper = (dir / "helper").string();
    }
    // A stand-in for pkexec: records its arguments, one per line, then runs `body`.
    void fakePkexec(const std::string& body) {
        std::ofstream(dir / "pkexec")
            << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (dir / "args").string() << "'\n"
            << body;
        fs::permissions(dir / "pkexec", fs::perms::owner_all);
    }
    VerifiedPackage package(const Json& item) {
        return {item, dir / (item["id"].get<std::string>() + ".deb")};
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
    EXPECT_TRUE(debian.isPackageFile("/d/x_1.0_all.DEB"));
    EXPECT_FALSE(debian.isPackageFile("/d/x.pkg"));
    // A relaunch starts our own package's program once dpkg has that package.
    EXPECT_EQ(debian.installedProgram(), std::nullopt);
    std::ofstream(dir / "status", std::ios::app)
        << "Package: talven-suite\nStatus: install ok installed\nArchitecture: amd64\nVersion: "
           "1.0\n\n";
    EXPECT_EQ(debian.installedProgram(), "/usr/bin/talven-suite");
}

// What "open" may start comes from the catalog: only a desktop file id, never a path or a command.
TEST_F(DebianBackend, OpenLaunchesOnlyADesktopFileIdTheCatalogNames) {
    DebianPackageSystem debian(paths);
    EXPECT_EQ(debian.applicationToLaunch({{"desktop", "com.brenlow.Presenter.desktop"}}),
              "com.brenlow.Presenter.desktop");
    for (const Json& detect :
         {Json{{"desktop", "../../bin/sh.desktop"}},
          Json{{"desktop", "/usr/share/applications/a.desktop"}},
          Json{{"desktop", "a.desktop --evil"}}, Json{{"desktop", "a.desktop\n"}},
          Json{{"desktop", ".desktop"}}, Json{{"desktop", "-a.desktop"}},
          Json{{"desktop", "talven"}}, Json{{"desktop", 7}}, Json{{"receipts", {"talven-a"}}}}) {
        EXPECT_EQ(debian.applicationToLaunch(detect), std::nullopt) << detect.dump();
    }
}

TEST_F(DebianBackend, OneHelperRunReportsEachPackageAndItsOutput) {
    fakePkexec(
        "printf 'noise\\nHELPER:1\\nOUT:0:Setting up talven-a (2.0)\\nOUT:0:done\\nOK:0\\n"
        "OUT:1:dpkg: error processing\\nFAIL:1\\nCHECK:2\\nOK:7\\nOUT:9:x\\n'\n"
        "echo 'a warning' >&2\nexit 0\n");
    DebianPackageSystem debian(paths);
    const auto outcome = debian.installBatch(
        {package(item("a", {"talven-a"})), package(item("no-digest", {}, 5)),
         package(item("b", {"talven-b"}, std::string(64, 'F'))), package(item("c", {}))},
        "prompt");
    EXPECT_EQ(outcome.run, BatchOutcome::Run::Ran);
    EXPECT_EQ(outcome.reports,
              (std::vector<PackageReport>{PackageReport::Installed, PackageReport::Refused,
                                          PackageReport::Failed, PackageReport::Refused}));
    // The helper was given the packages that have a digest, in order, digests in lower case.
    EXPECT_EQ(readWholeFile(dir / "args"), paths.helper + "\n" + (dir / "a.deb").string() + "\n" +
                                               kDigest + "\n" + (dir / "b.deb").string() + "\n" +
                                               std::string(64, 'f') + "\n" +
                                               (dir / "c.deb").string() + "\n" + kDigest + "\n");
    EXPECT_EQ(outcome.log,
              (std::vector<std::string>{"package 1: no digest to check as root; not installed",
                                        "installer: out=\"HELPER:1\\nOK:0\\nFAIL:1\\nCHECK:2\\n\" "
                                        "err=\"a warning\\n\"",
                                        "package 0: Setting up talven-a (2.0) | done",
                                        "package 2: dpkg: error processing"}));
}

TEST_F(DebianBackend, WhenNothingRanTheLogSaysWhyInOneLine) {
    struct Case {
        const char* name;
        std::optional<std::string> pkexec;  // nothing: there is none
        bool helper;
        BatchOutcome::Run run;
        std::string log;
    };
    const std::string asRoot = "Error executing command as another user: ";
    const std::string noAgent = asRoot + "No authentication agent found.";
    const Case cases[] = {
        {"dismissed", "echo '" + asRoot + "Request dismissed' >&2\nexit 126\n", true,
         BatchOutcome::Run::Cancelled,
         "installer: out=\"\" err=\"" + asRoot + "Request dismissed\\n\""},
        {"no agent", "echo '" + noAgent + "' >&2\nexit 127\n", true, BatchOutcome::Run::Unavailable,
         " did not run the install helper (exit 127): " + noAgent},
        {"no pkexec", std::nullopt, true, BatchOutcome::Run::Unavailable,
         " (the pkexec package is not installed)"},
        {"no helper", "exit 0\n", false, BatchOutcome::Run::Unavailable,
         "installer: the install helper is missing; reinstall TALVEN Suite"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "pkexec");
        if (c.pkexec) fakePkexec(*c.pkexec);
        DebianPaths used = paths;
        if (!c.helper) used.helper.clear();
        const auto outcome = DebianPackageSystem(used).installBatch(
            {package(item("a", {"talven-a"})), package(item("b", {"talven-b"}))}, "");
        EXPECT_EQ(outcome.run, c.run);
        EXPECT_EQ(outcome.reports, std::vector<PackageReport>(2, PackageReport::Failed));
        ASSERT_EQ(outcome.log.size(), 1u);
        EXPECT_TRUE(outcome.log[0].ends_with(c.log)) << outcome.log[0];
    }
}

TEST(InstallerRecords, RecordsReadBackAndStrayLinesAreIgnored) {
    const std::string printed = "HELPER:1\n" + outputRecord(1, "a: b") + "\n" +
                                resultRecord(1, InstallerResult::Refused) + "\n" +
                                resultRecord(0, InstallerResult::Installed) +
                                "\nOK:1x\nFAIL:-1\nOUT:2:x\nOUT:0\nCHECK:\nOK:99999999999999999999";
    const auto report = readInstallerRecords(printed, 2);
    EXPECT_TRUE(report.started);
    EXPECT_EQ(report.results,
              (std::vector<InstallerResult>{InstallerResult::Installed, InstallerResult::Refused}));
    EXPECT_EQ(report.outputs, (std::vector<std::string>{"", "a: b\n"}));
    EXPECT_FALSE(readInstallerRecords("OK:0\n", 1).started);
}

}  // namespace
}  // namespace suite::debian
