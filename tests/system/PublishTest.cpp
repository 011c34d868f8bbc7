// The vendor's publishing tool on real packages, inside tests/sandbox.sh: the folder it writes
// holds the packages beside their catalog, its apt repository is one the real apt-get reads with
// the vendor's key and installs from, and inconsistent input is refused with its reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "common/Json.h"
#include "fakes/DebianPackages.h"
#include "fakes/RpmWorld.h"
#include "fakes/TempDir.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using fakes::shell;

constexpr const char* kProducts =
    R"({"products": [{"id": "talven.pub", "group": "app", "name": {"en": "Pub", "ar": "نشر"},
        "description": {"en": "A test", "ar": "%s"},
        "deb": {"package": "talven-test-pub", "desktop": "com.brenlow.Pub.desktop"},
        "rpm": {"package": "talven-test-pub"}}]})";

std::string dpkgVersion() {
    return shell("dpkg-query -W -f '${Status} ${Version}' talven-test-pub 2>/dev/null");
}

TEST(Publish, TheCatalogAndTheAptRepositoryServeRealInstalls) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
    fakes::TempDir dir;
    const fs::path debs = dir / "debs", out = dir / "out";
    fs::create_directories(debs);
    fs::copy(fakes::buildDeb(dir / "1", {"talven-test-pub", "1.2-1", ""}), debs);
    fs::copy(fakes::buildRpm(dir / "1", {"talven-test-pub", "1.2"}), debs);
    const auto products = [&](const std::string& arabic) {
        std::string text = kProducts;
        text.replace(text.find("%s"), 2, arabic);
        std::ofstream(dir / "products.json") << text;
    };
    const std::string publish =
        "GNUPGHOME=" + (dir / "gnupg").string() + " " SUITE_SOURCE_DIR "/tools/publish build " +
        (dir / "products.json").string() + " " + debs.string() + " " + out.string() +
        " --key " SUITE_SOURCE_DIR
        "/tests/fixtures/catalog-test-key.pem"
        " --base-url https://downloads.brenlow.example/suite/ --gpg-key apt@brenlow.example 2>&1";
    // The OpenPGP key's agent is this test's own, found by its folder, and ends with it.
    std::shared_ptr<void> agent(nullptr, [&](void*) {
        shell("GNUPGHOME=" + (dir / "gnupg").string() + " gpgconf --kill gpg-agent");
    });
    ASSERT_EQ(shell("mkdir -m 700 " + (dir / "gnupg").string() +
                    " && GNUPGHOME=" + (dir / "gnupg").string() +
                    " gpg --batch --passphrase '' --quick-gen-key 'TALVEN Test "
                    "<apt@brenlow.example>' ed25519 sign never 2>/dev/null"),
              "0:");

    // A missing translation is refused before anything is written.
    products("");
    EXPECT_EQ(shell(publish),
              "1:publish: product 1 ('talven.pub'): \"description\" has no ar text\n");
    EXPECT_FALSE(fs::exists(out));
    products("اختبار");
    ASSERT_EQ(shell(publish), "0:");

    // The folder to upload holds the package beside the catalog that names it (what the program
    // makes of them is the publish flow's).
    const auto catalog = readWholeFile(out / "catalog.json").value_or("");
    const Json variant = parseJson(catalog)["products"][0]["packages"]["deb"][0];
    EXPECT_EQ(variant["version"], "1.2-1");
    EXPECT_EQ(variant["arch"], "all");
    EXPECT_TRUE(fs::exists(out / variant["file"].get<std::string>()));

    // A fleet's apt reads the repository with the vendor's OpenPGP key, and installs from it.
    // Its fetching user reads the files, as it would a mirror's.
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string list = (dir / "talven.list").string();
    const std::string apt = "apt-get -o Dir::Etc::sourcelist=" + list +
                            " -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 ";
    // Where apt's unprivileged user can read it, as an administrator would put it.
    const std::string keyring = "/etc/apt/keyrings/talven-test.gpg";
    std::ofstream(list) << "deb [signed-by=" << keyring << "] file:" << (out / "apt").string()
                        << " ./\n";
    ASSERT_EQ(shell("mkdir -p /etc/apt/keyrings && GNUPGHOME=" + (dir / "gnupg").string() +
                    " gpg --export > " + keyring),
              "0:");
    const auto updated = shell(apt + "update 2>&1");
    EXPECT_EQ(updated.substr(0, 2), "0:") << updated;
    EXPECT_EQ(updated.find("W:"), std::string::npos) << updated;
    const auto installed = shell(apt + "install -y talven-test-pub 2>&1");
    EXPECT_EQ(installed.substr(0, 2), "0:") << installed;
    EXPECT_EQ(dpkgVersion(), "0:install ok installed 1.2-1");
    EXPECT_EQ(shell("dpkg --purge talven-test-pub >/dev/null 2>&1"), "0:");

    // A fleet's dnf reads the RPMs' repository, its metadata signed with the vendor's key.
    const Json rpm = parseJson(catalog)["products"][0]["packages"]["rpm"][0];
    EXPECT_EQ(rpm["version"], "1.2-1");
    EXPECT_EQ(rpm["arch"], "noarch");
    fs::create_directories(dir / "system-repo");
    fs::create_directories(dir / "world");
    fakes::RpmWorld fedora(dir / "world", dir / "system-repo", false);
    ASSERT_TRUE(fedora.ready()) << fedora.problem();
    std::ofstream("/etc/yum.repos.d/talven-pub.repo")
        << "[talven-pub]\nname=pub\nbaseurl=file://" << (out / "rpm").string()
        << "\nrepo_gpgcheck=1\ngpgcheck=0\ngpgkey=file://"
        << (out / "rpm" / "repodata" / "repomd.xml.key").string() << "\n";
    const auto dnf = shell("dnf -y install talven-test-pub 2>&1");
    EXPECT_EQ(dnf.substr(0, 2), "0:") << dnf;
    EXPECT_EQ(shell("rpm -q talven-test-pub"), "0:talven-test-pub-1.2-1.noarch\n");

    // Two files for one product and architecture: which one would be meant?
    fs::copy(fakes::buildDeb(dir / "2", {"talven-test-pub", "1.3-1", ""}), debs);
    EXPECT_NE(shell(publish).find("two packages for all"), std::string::npos);
}

}  // namespace
}  // namespace suite
