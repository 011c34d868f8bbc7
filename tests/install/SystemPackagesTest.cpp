#include <gtest/gtest.h>

#include "install/SystemPackages.h"

namespace suite {
namespace {

// os-release files as the systems write them (shortened), and what the program installs through.
TEST(SystemPackages, TheFamilyComesFromTheSystemsIdThenTheOnesItIsLike) {
    const struct {
        const char* system;
        const char* osRelease;
        PackageFamily family;
    } cases[] = {
        {"Debian 12", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         PackageFamily::Debian},
        {"Ubuntu 22.04", "NAME=\"Ubuntu\"\nID=ubuntu\nID_LIKE=debian\n", PackageFamily::Debian},
        {"Linux Mint", "ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n", PackageFamily::Debian},
        {"Fedora 40", "NAME=\"Fedora Linux\"\nID=fedora\nVERSION_ID=40\n", PackageFamily::RpmDnf},
        {"RHEL 9", "ID=\"rhel\"\nID_LIKE=\"fedora\"\n", PackageFamily::RpmDnf},
        {"Rocky 9", "ID=\"rocky\"\r\nID_LIKE=\"rhel centos fedora\"\r\n", PackageFamily::RpmDnf},
        {"openSUSE Tumbleweed", "ID=\"opensuse-tumbleweed\"\nID_LIKE=\"opensuse suse\"\n",
         PackageFamily::RpmZypper},
        {"SLES 15", "ID='sles'\nID_LIKE='suse'\n", PackageFamily::RpmZypper},
        // A name is known only whole, and a key only at the start of its line.
        {"Arch", "ID=arch\nBUILD_ID=rolling\n", PackageFamily::None},
        {"look-alikes", "ID=debianish\n# ID=debian\nVARIANT_ID=fedora\nXID_LIKE=debian\n",
         PackageFamily::None},
        {"nothing", "", PackageFamily::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(packageFamilyFromOsRelease(c.osRelease), c.family) << c.system;
    }
}

// The family's own tools, and nothing but them, install.
TEST(SystemPackages, AFamilyInstallsThroughItsOwnToolsOnly) {
    using F = PackageFamily;
    const SystemTools everything{true, true, true, true}, debianOnly{.dpkgDatabase = true};
    const SystemTools fedora{.rpmDatabase = true, .dnf = true},
        suse{.rpmDatabase = true, .zypper = true};
    EXPECT_EQ(installerFor(F::Debian, everything), Installer::Debian);
    EXPECT_EQ(installerFor(F::None, debianOnly), Installer::Debian);
    EXPECT_EQ(installerFor(F::None, fedora), Installer::None) << "an unknown system is not Fedora";
    EXPECT_EQ(installerFor(F::RpmDnf, everything), Installer::Rpm);
    EXPECT_EQ(installerFor(F::RpmDnf, suse), Installer::None);
    EXPECT_EQ(installerFor(F::RpmZypper, suse), Installer::Rpm);
    EXPECT_EQ(installerFor(F::RpmZypper, SystemTools{.dpkgDatabase = true, .zypper = true}),
              Installer::None);
    EXPECT_EQ(installerFor(F::Debian, fedora), Installer::None);
}

}  // namespace
}  // namespace suite
