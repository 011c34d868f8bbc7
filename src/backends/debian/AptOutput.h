#pragma once
// What apt-get and dpkg print, read by the root helper: apt's simulation of a batch (what it
// would install, what it would remove, why it cannot), dpkg's machine-readable status lines, and
// a package file's control fields. Their texts are read in the C locale the helper sets.
#include <string>
#include <string_view>
#include <vector>

#include "platform/PackageSystem.h"
#include "privileged/InstallHelper.h"

namespace suite::debian {

// What `apt-get --simulate install` said it would do.
struct AptSimulation {
    struct Install {
        std::string name;  // as apt names it, with ":arch" for a foreign package
        std::string version;
    };
    bool ok = false;  // it could, and without removing anything
    std::vector<Install> installs;
    std::vector<std::string> removals;
    FailureReason reason;  // why not, when not ok
};
AptSimulation readSimulation(std::string_view output, int exitStatus);

// A package name without the ":arch" apt and dpkg add to some.
std::string_view bareName(std::string_view name);

// One line of `dpkg --status-fd`: a package's files are being unpacked, it is being set up, or
// it is installed.
struct DpkgEvent {
    enum class Kind { None, Unpacking, SettingUp, Installed };
    Kind kind = Kind::None;
    std::string package;  // bare name
};
DpkgEvent readDpkgStatus(std::string_view line);

// The line in which dpkg gave the cause of `package`'s failure; empty when it gave none.
std::string dpkgFailureLine(std::string_view output, std::string_view package);

// The fields of a package file the helper plans with (`dpkg-deb --field FILE Package Version
// Architecture Depends Pre-Depends`); its depends are every package name Depends and Pre-Depends
// mention.
privileged::PackageFacts readControl(std::string_view fields);

}  // namespace suite::debian
