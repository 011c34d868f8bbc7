// The root helper's own logic, run in this process against a stand-in apt-get: what it refuses,
// what it copies where, and what it relays, with catalogs signed here. The real helper under
// pkexec, with the real apt-get, is the system tests' (tests/system).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "common/Json.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/debian/InstallHelper.h"

namespace suite::debian {
namespace {

namespace fs = std::filesystem;

// What the helper answered and printed for the program to read.
struct Printed {
    int status;
    std::string out;
};

class InstallHelper : public ::testing::Test {
  protected:
    InstallHelper() {
        for (const char* folder : {"work", "downloads"}) fs::create_directories(dir / folder);
        tools.workParent = (dir / "work").string();
        // Records each call: its arguments, the copy's folder mode, its environment's frontend.
        // A package whose content says "fails" fails, with output on both streams.
        tools.aptGet =
            fakes::writeScript(dir / "apt-get",
                               "for last; do :; done\n"
                               "{ printf '%s ' \"$@\"; stat -c '%a' \"$(dirname \"$last\")\"; "
                               "echo \"$DEBIAN_FRONTEND\"; } >> '" +
                                   (dir / "calls").string() +
                                   "'\n"
                                   "echo \"Unpacking $(cat \"$last\")\"\necho 'warning: odd' >&2\n"
                                   "printf 'a\\rb'\ngrep -q fails \"$last\" && { touch '" +
                                   (dir / "half").string() + "'; exit 100; }\nexit 0\n");
        // dpkg's view: a failed package is left half set up until dpkg removes it again.
        tools.dpkgDeb = fakes::writeScript(dir / "dpkg-deb", "echo talven-fake\n");
        tools.dpkgQuery = fakes::writeScript(
            dir / "dpkg-query", "[ -e " + (dir / "half").string() +
                                    " ] || exit 1\nprintf 'install ok half-configured'\n");
        tools.dpkg =
            fakes::writeScript(dir / "dpkg", "echo \"$@\" >> " + (dir / "removed").string() +
                                                 "; rm " + (dir / "half").string() + "\n");
    }
    std::string download(const std::string& name, const std::string& content) {
        std::ofstream(dir / "downloads" / name) << content;
        return (dir / "downloads" / name).string();
    }
    Printed run(const std::vector<std::string>& arguments) {
        // What a person should read goes where the test runner shows it.
        std::FILE* out = std::tmpfile();
        const int status = runInstallHelper(arguments, out, stderr, tools);
        return {status, fakes::readBack(out)};
    }

    fakes::TempDir dir;
    fakes::SigningKey vendor;
    HelperTools tools{.keys = {vendor.publicKey()}, .now = [] { return 1796724000; }};
};

// The catalog's offer of a Debian package for product `id` that holds `content`.
fakes::DebOffer offer(const std::string& id, const std::string& content) {
    return {id, fakes::digestOf(content), content.size()};
}

TEST_F(InstallHelper, InstallsOnlyPrivateCopiesTheSignedCatalogVouchesFor) {
    const std::string good = download("good.deb", "good package");
    const std::string failing = download("failing.deb", "fails");
    const std::string swapped = download("swapped.deb", "something else");
    const std::string arm64 = download("arm64.deb", "arm64");
    const std::string amd64 = download("amd64.deb", "amd64 build");
    fs::create_symlink(good, dir / "downloads" / "link.deb");
    // "multi" offers a package per architecture, the larger first.
    const std::string document = fakes::debCatalog(
        {offer("good", "good package"), offer("failing", "fails"), offer("swapped", "the original"),
         offer("multi", "amd64 build"), offer("multi", "arm64")});
    // Left by a killed run (no process has that id); a running one's folder stays.
    fs::create_directories(dir / "work" / "talven-suite-install.999999999.abcdef");
    fs::create_directories(dir / "work" / "talven-suite-install.1.abcdef");

    const auto printed =
        run({download("catalog.json", document),
             download("catalog.json.sig", vendor.sign(document)), "good", good, "failing", failing,
             "swapped", swapped, "good", (dir / "downloads" / "link.deb").string(), "unlisted",
             good, "multi", arm64, "multi", amd64});
    EXPECT_EQ(printed.status, 0);
    const std::string relayed =
        "OUT:0:Unpacking good package\nOUT:0:warning: odd\nOUT:0:ab\nOK:0\n";
    ASSERT_EQ(printed.out.rfind("HELPER:1\n" + relayed, 0), 0u) << printed.out;
    const auto report = readInstallerRecords(printed.out, 7);
    EXPECT_EQ(report.results,
              (std::vector<InstallerResult>{InstallerResult::Installed, InstallerResult::Failed,
                                            InstallerResult::Refused, InstallerResult::Failed,
                                            InstallerResult::Unvouched, InstallerResult::Installed,
                                            InstallerResult::Installed}));
    EXPECT_NE(report.outputs[3].find("cannot read"), std::string::npos) << "a link is not followed";
    // Root tells nobody the digest of what it read.
    EXPECT_EQ(printed.out.find(fakes::digestOf("something else")), std::string::npos);

    // apt-get saw only the four copies that matched, in a folder only their owner may enter, and
    // nobody to ask it questions; the copies and their folder are gone, and so is the leftover.
    auto calls = readWholeFile(dir / "calls");
    ASSERT_TRUE(calls);
    EXPECT_EQ(std::count(calls->begin(), calls->end(), '\n'), 8) << *calls;
    EXPECT_NE(calls->find("/0.deb 700\nnoninteractive\n"), std::string::npos) << *calls;
    EXPECT_NE(calls->find("/1.deb 700\nnoninteractive\n"), std::string::npos) << *calls;
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir / "work"), {}),
              std::vector<fs::path>{dir / "work" / "talven-suite-install.1.abcdef"});
    // The failed package was not there before, so it does not stay half set up.
    EXPECT_EQ(readWholeFile(dir / "removed"), "--remove talven-fake\n");
    EXPECT_TRUE(fs::exists(good));  // the user's downloads are the program's to remove
    EXPECT_EQ(run({"catalog.json", "/sig", "good", good}).status, 64) << "a relative path";
    EXPECT_EQ(run({"/c", "/s", "Good", good}).status, 64) << "not a product id";
}

}  // namespace
}  // namespace suite::debian
