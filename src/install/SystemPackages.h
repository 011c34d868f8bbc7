#pragma once
// Which package system owns the running system, as its /etc/os-release tells: the installs the
// program can make there go through that system's own tools and database.
#include <string>
#include <string_view>

namespace suite {

enum class PackageFamily {
    None,       // none this program installs through
    Debian,     // dpkg and apt
    RpmDnf,     // rpm, installed through dnf (Fedora, RHEL and their rebuilds)
    RpmZypper,  // rpm, installed through zypper (openSUSE, SUSE Linux Enterprise)
};

// The family of the system whose os-release file reads `osRelease`: its ID, then each name of
// ID_LIKE in turn, the first one known. Whether the family's tools are really there is the
// caller's to confirm.
PackageFamily packageFamilyFromOsRelease(std::string_view osRelease);

// Which package system the program installs through, where any.
enum class Installer { None, Debian, Rpm };

// What of each family's tools and database a system has.
struct SystemTools {
    bool dpkgDatabase = false;
    bool rpmDatabase = false;
    bool dnf = false;
    bool zypper = false;
};

// The system's own family, where its database and the tool that installs are there: Debian's
// where the system is Debian's (or names no family) and dpkg keeps its database; RPM where it is
// Fedora's or SUSE's kind and rpm keeps one beside dnf or zypper. An RPM system with dpkg's tools
// beside its own is not installed into through them, nor a Debian one through rpm's.
Installer installerFor(PackageFamily family, const SystemTools& present);

// The family of the running system, from its os-release file (/etc, then /usr/lib, under `root`).
PackageFamily thisSystemsPackageFamily(const std::string& root = "/");

}  // namespace suite
