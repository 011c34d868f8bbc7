// The root helper's own logic, run in this process against a stand-in apt-get: what it refuses,
// what it copies where, and what it relays, with catalogs signed here. The real helper under
// pkexec, with the real apt-get, is the system tests' (tests/system).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "backends/debian/DebianHelper.h"
#include "common/Json.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"

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
        for (const char* folder : {"work", "downloads", "admin"})
            fs::create_directories(dir / folder);
        settings.workParent = (dir / "work").string();
        tools.adminDir = (dir / "admin").string();
        std::ofstream(dir / "admin" / "status") << "";
        // A package file holds "<name> <words>"; "fails" in it fails dpkg, "s390x" is its
        // architecture. apt-get and dpkg record how they were called, with the copies' folder
        // mode and whether anybody could be asked a question.
        const std::string prelude = "C=" + (dir / "calls").string() +
                                    "; H=" + (dir / "half").string() + "; S=" + tools.adminDir +
                                    "/status\n" + R"sh(name() { cut -d' ' -f1 "$1"; }
echo "$(basename $0) $* $DEBIAN_FRONTEND" >> $C
)sh";
        tools.aptGet = fakes::writeScript(dir / "apt-get", prelude + R"sh(for f; do
  [ -f "$f" ] && echo "Inst $(name $f) (1.0 local-deb [all])" && stat -c %a "$(dirname $f)" >> $C
done; exit 0
)sh");
        tools.dpkgDeb =
            fakes::writeScript(dir / "dpkg-deb", prelude + R"sh(a=all; grep -q s390x "$2" && a=s390x
printf 'Package: %s\nVersion: 1.0\nArchitecture: %s\n' $(name $2) $a
)sh");
        tools.dpkgQuery = fakes::writeScript(
            dir / "dpkg-query", prelude + "[ -e $H ] && printf 'install ok half-configured'\n");
        tools.dpkg = fakes::writeScript(dir / "dpkg", prelude + R"sh(case $1 in
  --print-architecture) echo amd64; exit;; --print-foreign-architectures) exit;; --remove) rm $H; exit;;
esac
for f; do
  [ -f "$f" ] || continue; n=$(name $f)
  echo "processing: install: $n"; echo "Unpacking $(cat $f)"; printf 'a\rb\n'
  if grep -q fails $f; then
    touch $H; printf 'dpkg: error processing package %s (--configure):\n script failed\n' $n
  else
    printf 'Package: %s\nStatus: install ok installed\nVersion: 1.0\n\n' $n >> $S; echo "status: $n: installed"
  fi
done
)sh");
    }
    std::string download(const std::string& name, const std::string& content) {
        std::ofstream(dir / "downloads" / name) << content;
        return (dir / "downloads" / name).string();
    }
    Printed run(const std::vector<std::string>& arguments) {
        // What a person should read goes where the test runner shows it.
        std::FILE* out = std::tmpfile();
        DebianHelper backend(tools, settings);
        const int status = privileged::runInstallHelper(arguments, out, stderr, backend, settings);
        return {status, fakes::readBack(out)};
    }

    fakes::TempDir dir;
    fakes::SigningKey vendor;
    privileged::HelperSettings settings{.keys = {vendor.publicKey()},
                                        .now = [] { return 1796724000; }};
    DebianTools tools;
};

// The catalog's offer of a Debian package for product `id` that holds `content`.
fakes::PackageOffer offer(const std::string& id, const std::string& content) {
    return {id, fakes::digestOf(content), content.size()};
}

TEST_F(InstallHelper, InstallsOnlyPrivateCopiesTheSignedCatalogVouchesFor) {
    const std::string good = download("good.deb", "good package");
    const std::string failing = download("failing.deb", "failing fails");
    const std::string swapped = download("swapped.deb", "swapped else");
    const std::string foreign = download("foreign.deb", "foreign s390x");
    const std::string arm64 = download("arm64.deb", "armbuild");
    const std::string amd64 = download("amd64.deb", "amdbuild larger");
    fs::create_symlink(good, dir / "downloads" / "link.deb");
    // "multi" offers a package per architecture, the larger first.
    const std::string document = fakes::packageCatalog(
        {offer("good", "good package"), offer("failing", "failing fails"),
         offer("swapped", "swapped original"), offer("foreign", "foreign s390x"),
         offer("multi", "amdbuild larger"), offer("multi", "armbuild")});
    // Left by a killed run (no process has that id); a running one's folder stays.
    fs::create_directories(dir / "work" / "talven-suite-install.999999999.abcdef");
    fs::create_directories(dir / "work" / "talven-suite-install.1.abcdef");

    const auto printed =
        run({download("catalog.json", document),
             download("catalog.json.sig", vendor.sign(document)), "good", good, "failing", failing,
             "swapped", swapped, "good", (dir / "downloads" / "link.deb").string(), "unlisted",
             good, "foreign", foreign, "multi", arm64, "multi", amd64});
    EXPECT_EQ(printed.status, 0);
    ASSERT_EQ(printed.out.rfind("HELPER:1\n", 0), 0u) << printed.out;
    EXPECT_NE(printed.out.find(
                  "STEP:0:unpack\nOUT:0:Unpacking good package\nOUT:0:a\nOUT:0:b\nOK:0:1.0\n"),
              std::string::npos)
        << printed.out;
    const auto report = readInstallerRecords(printed.out, 8);
    using R = InstallerResult;
    EXPECT_EQ(report.results,
              (std::vector<R>{R::Installed, R::Failed, R::Refused, R::Failed, R::Unvouched,
                              R::Failed, R::Installed, R::Installed}));
    EXPECT_EQ(report.reasons[1], (FailureReason{"install", "script failed"}));
    EXPECT_EQ(report.reasons[5], (FailureReason{"architecture", "s390x"}));
    EXPECT_NE(report.outputs[3].find("cannot read"), std::string::npos) << "a link is not followed";
    // Root tells nobody the digest of what it read.
    EXPECT_EQ(printed.out.find(fakes::digestOf("swapped else")), std::string::npos);

    // apt-get planned and dpkg installed only the copies that matched, in a folder only their
    // owner may enter, with nobody to ask questions, in one run each; then the failed package,
    // new here, was removed again. The copies, their folder and the leftover are gone.
    const auto calls = readWholeFile(dir / "calls").value_or("");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 15) << calls;
    EXPECT_NE(calls.find("/7.deb noninteractive\n700\n700\n700\n700\n"), std::string::npos)
        << calls;
    EXPECT_NE(calls.find("--install " + dir.path().string()), std::string::npos) << calls;
    EXPECT_NE(calls.find("--remove failing noninteractive"), std::string::npos) << calls;
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir / "work"), {}),
              std::vector<fs::path>{dir / "work" / "talven-suite-install.1.abcdef"});
    EXPECT_TRUE(fs::exists(good));  // the user's downloads are the program's to remove
    EXPECT_EQ(run({"catalog.json", "/sig", "good", good}).status, 64) << "a relative path";
    EXPECT_EQ(run({"/c", "/s", "Good", good}).status, 64) << "not a product id";
}

}  // namespace
}  // namespace suite::debian
