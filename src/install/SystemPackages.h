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

// The family of the running system, from its os-release file (/etc, then /usr/lib, under `root`).
PackageFamily thisSystemsPackageFamily(const std::string& root = "/");

}  // namespace suite
