#pragma once
// Debian packages: a product's "detect"."receipts" name Debian packages, whose versions come from
// dpkg's database and order by dpkg's rules; a batch is one pkexec call of our install helper,
// which verifies every package as root against the vendor-signed catalog the program kept and
// installs it with apt-get. A package the helper could not install goes to the desktop's handler
// for Debian packages.
#include <string>

#include "BuildConfig.h"
#include "backends/debian/DpkgDatabase.h"
#include "privileged/HelperPackageSystem.h"

namespace suite::debian {

// This program's own package, and where it puts the program.
inline constexpr const char* kOwnPackage = "talven-suite";
inline constexpr const char* kOwnPackageProgram = "/usr/bin/talven-suite";

struct DebianPaths {
    std::string adminDir = kDpkgAdminDir;
    std::string pkexec = "/usr/bin/pkexec";
    std::string helper = {};         // the install helper's absolute path; empty: it was not found
    std::string restoreHelper = {};  // the same under its restore name; empty: not found
    // The catalog document the program verified last and its signature, as it keeps them: what
    // the helper verifies each package against.
    std::string catalog = {};
    std::string signature = {};
};

// Whether this machine keeps a dpkg database.
bool hasDpkg(const std::string& adminDir = kDpkgAdminDir);

class DebianPackageSystem final : public privileged::HelperPackageSystem {
  public:
    explicit DebianPackageSystem(DebianPaths paths)
        : HelperPackageSystem({paths.pkexec, paths.helper, paths.catalog, paths.signature},
                              paths.restoreHelper),
          paths_(std::move(paths)) {}

    std::string kind() const override { return "deb"; }
    // dpkg's native architecture, the one the program was built for.
    std::string architecture() const override { return SUITE_DEB_ARCH; }
    // The name ends in ".deb", in any case.
    bool isPackageFile(const std::filesystem::path& file) const override;
    // The version of the first of the item's "receipts" that is installed.
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override;
    int compareVersions(std::string_view a, std::string_view b) const override {
        return compareDebianVersions(a, b);
    }
    // Some receipt is a Debian package name.
    bool detects(const Json& item) const override;
    // dpkg's word is better than any installer's: every item it can look for.
    bool judgesAfterRun(const Json& item) const override { return detects(item); }
    std::string handOffType() const override { return "application/vnd.debian.binary-package"; }
    // The program of this program's own package, when dpkg has that package.
    std::optional<std::string> installedProgram() const override;
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }
    // "detect"."desktop", when it is a desktop file id.
    std::optional<std::string> applicationToLaunch(const Json& detect) const override;
    // dpkg rewrites its status file whenever a package's state changes.
    std::optional<std::string> databaseToWatch() const override {
        return paths_.adminDir + "/status";
    }

  private:
    DebianPaths paths_;
};

}  // namespace suite::debian
