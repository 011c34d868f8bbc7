// The local vendor service's RPMs as the real rpm and dnf read them: the catalog describes each
// file as it is, each package carries the requirements and conflicts its faults depend on, and
// the local repository is one dnf reads.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "platform/Digest.h"
#include "platform/Process.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

std::string output(const std::string& tool, const std::vector<std::string>& arguments) {
    ProcessOptions options;
    options.timeoutSeconds = 60;
    auto run = runProcess(tool, arguments, options);
    return run && run->exitStatus == 0 ? run->standardOutput : tool + " failed";
}

// "NAME [EPOCH:]VERSION-RELEASE ARCH", then " REQUIRED" and " !CONFLICTING" names but rpm's own
// (rpmlib(...)), which every package requires.
std::string rpmSays(const fs::path& file) {
    std::istringstream words(
        output("/usr/bin/rpm", {"-qp", "--nosignature", "--nodigest", "--qf",
                                "%{NAME} %|EPOCH?{%{EPOCH}:}|%{VERSION}-%{RELEASE} %{ARCH}"
                                "[ %{REQUIRENAME}][ !%{CONFLICTNAME}]",
                                file.string()}));
    std::string said, word;
    while (words >> word) {
        if (!word.starts_with("rpmlib(")) said += (said.empty() ? "" : " ") + word;
    }
    return said;
}

TEST(VendorRpms, TheCatalogDescribesEachFileAndRpmReadsWhatItsFaultNeeds) {
    fakes::TempDir dir;
    // The suite's own package is served as given: here one the service builds for its repository.
    const fs::path runtime = flows::VendorService(dir / "first", {.largeMiB = 1}).rpmRepository() /
                             "talven-runtime-1.0.0-1.noarch.rpm";
    flows::VendorService vendor{dir / "vendor", {.largeMiB = 1, .suiteRpm = runtime}};
    std::string arch = output("/usr/bin/rpm", {"--eval", "%{_arch}"});
    arch.erase(arch.find_last_not_of('\n') + 1);
    const std::map<std::string, std::string> expected = {
        {"talven.suite", "talven-runtime 1.0.0-1 noarch"},
        {"talven.addin.timer", "talven-addin-timer 1.0.0-1 noarch talven-presenter"},
        {"talven.presenter", "talven-presenter 4.2.0-1 " + arch + " talven-runtime"},
        {"talven.capture", "talven-capture 2.0.1-1 " + arch},
        {"talven.addin.poll", "talven-addin-poll 1.4.0-1 noarch"},
        {"talven.addin.quiz", "talven-addin-quiz 3.0.0-1 noarch !talven-addin-poll"},
        {"talven.addin.charts", "talven-addin-charts 2.1.0-1 noarch"},
        {"talven.board", "talven-board 5.0.0-1 " + arch},
        {"talven.stream", "talven-stream 1.1.0-1 " + arch},
        {"talven.legacy", "talven-legacy 7.0.0-1 " + arch + " /bin/sh"},
        {"talven.bridge", "talven-bridge 1.0.0-1 " + arch + " talven-no-such-package"},
    };
    std::set<std::string> offered, missing, wrongDigest;
    for (const Json& product : vendor.catalog()["products"]) {
        const std::string id = product["id"];
        Json rpm = product["packages"].value("rpm", Json());
        for (const Json& item : rpm.is_array() ? rpm : Json::array({rpm})) {
            if (item.is_null()) continue;
            const fs::path file = id == "talven.suite"
                                      ? runtime
                                      : dir / "vendor/packages" / item["file"].get<std::string>();
            if (!fs::exists(file)) {
                missing.insert(id);
                continue;
            }
            offered.insert(id);
            EXPECT_EQ(item["size"], fs::file_size(file)) << id;
            if (item["sha256"] != sha256Of(file).value()) wrongDigest.insert(id);
            const std::string said = rpmSays(file);
            EXPECT_EQ(said, expected.contains(id) ? expected.at(id) : "not expected") << id;
            EXPECT_TRUE(said.starts_with(item["detect"]["receipts"][0].get<std::string>() + " " +
                                         item["version"].get<std::string>() + " " +
                                         item["arch"].get<std::string>()))
                << id << ": the catalog says " << item.dump();
        }
    }
    EXPECT_EQ(offered.size(), expected.size());
    EXPECT_EQ(missing, (std::set<std::string>{"talven.notes", "talven.presenter"}));
    EXPECT_EQ(wrongDigest, std::set<std::string>{"talven.addin.charts"});

    // What presenter requires and the catalog does not offer, dnf finds in the local repository.
    const fs::path root = dir / "dnf-root";
    EXPECT_EQ(
        output("/usr/bin/dnf",
               {"-q", "--releasever=1", "--installroot=" + root.string(),
                "--setopt=reposdir=/dev/null", "--setopt=cachedir=" + (root / "cache").string(),
                "--repofrompath=talven,file://" + vendor.rpmRepository().string(), "--repo=talven",
                "repoquery", "--qf", "%{name} %{evr}", "--whatprovides", "talven-runtime"}),
        "talven-runtime 1.0.0-1\n");
}

}  // namespace
}  // namespace suite
