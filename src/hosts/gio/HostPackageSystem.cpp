#include "hosts/gio/HostPackageSystem.h"

#include <glib.h>
#include <unistd.h>

#include "backends/debian/DebianPackageSystem.h"
#include "backends/rpm/RpmDatabase.h"
#include "backends/rpm/RpmPackageSystem.h"
#include "catalog/KeptCatalog.h"
#include "install/SystemPackages.h"
#include "privileged/HelperClient.h"

namespace suite::gtk {

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

// The packages of the system's own family (installerFor); elsewhere this host can install
// nothing, and says so rather than asking for a password that could not help.
std::unique_ptr<PackageSystem> packageSystemForThisHost(const std::filesystem::path& executable,
                                                        const std::filesystem::path& stateDir) {
    const std::string helper = privileged::findInstallHelper(executable);
    const std::string restoreHelper = privileged::findRestoreHelper(executable);
    const std::string catalog = (stateDir / kKeptCatalogFileName).string();
    const std::string signature = (stateDir / kKeptSignatureFileName).string();
    std::unique_ptr<PackageSystem> system;
    const auto runs = [](const char* tool) { return ::access(tool, X_OK) == 0; };
    const SystemTools present{.dpkgDatabase = debian::hasDpkg(),
                              .rpmDatabase = rpm::databaseFile().has_value(),
                              .dnf = runs("/usr/bin/dnf"),
                              .zypper = runs("/usr/bin/zypper")};
    switch (installerFor(thisSystemsPackageFamily(), present)) {
        case Installer::Debian:
            system = std::make_unique<debian::DebianPackageSystem>(
                debian::DebianPaths{.helper = helper,
                                    .restoreHelper = restoreHelper,
                                    .catalog = catalog,
                                    .signature = signature});
            break;
        case Installer::Rpm:
            system = std::make_unique<rpm::RpmPackageSystem>(
                rpm::RpmPaths{.helper = helper,
                              .restoreHelper = restoreHelper,
                              .catalog = catalog,
                              .signature = signature});
            break;
        case Installer::None:
            return std::make_unique<NoPackageSystem>();
    }
    if (helper.empty())
        g_warning("TALVEN Suite: the install helper was not found beside the program");
    return system;
}

}  // namespace suite::gtk
