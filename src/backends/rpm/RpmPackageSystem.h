#pragma once
// RPM packages (Fedora, RHEL, openSUSE): a product's "detect"."receipts" name RPM packages, whose
// versions come from rpm's database and order by rpm's rules; a batch is one pkexec call of our
// install helper, which verifies every package as root against the vendor-signed catalog the
// program kept and installs the batch with dnf or zypper, whichever the system uses. A package the
// helper could not install goes to the desktop's handler for RPM packages.
#include <string>

#include "BuildConfig.h"
#include "backends/rpm/RpmVersion.h"
#include "privileged/HelperPackageSystem.h"

namespace suite::rpm {

// This program's own package, and where it puts the program.
inline constexpr const char* kOwnPackage = "talven-suite";
inline constexpr const char* kOwnPackageProgram = "/usr/bin/talven-suite";

struct RpmPaths {
    std::string root = "/";  // of the system whose database is read
    std::string pkexec = "/usr/bin/pkexec";
    std::string helper = {};         // the install helper's absolute path; empty: it was not found
    std::string restoreHelper = {};  // the same under its restore name; empty: not found
    std::string catalog = {};        // the kept catalog document and its signature, for the helper
    std::string signature = {};
};

class RpmPackageSystem final : public privileged::HelperPackageSystem {
  public:
    explicit RpmPackageSystem(RpmPaths paths)
        : HelperPackageSystem({paths.pkexec, paths.helper, paths.catalog, paths.signature},
                              paths.restoreHelper),
          paths_(std::move(paths)) {}

    std::string kind() const override { return "rpm"; }
    // rpm's name of the architecture the program was built for.
    std::string architecture() const override { return SUITE_RPM_ARCH; }
    // The name ends in ".rpm", in any case.
    bool isPackageFile(const std::filesystem::path& file) const override;
    // The version of the first of the item's "receipts" that is installed.
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override;
    int compareVersions(std::string_view a, std::string_view b) const override {
        return compareRpmVersions(a, b);
    }
    // Some receipt is an RPM package name.
    bool detects(const Json& item) const override;
    // rpm's word is better than any installer's: every item it can look for.
    bool judgesAfterRun(const Json& item) const override { return detects(item); }
    std::string handOffType() const override { return "application/x-rpm"; }
    // The program of this program's own package, when rpm has that package.
    std::optional<std::string> installedProgram() const override;
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }
    // "detect"."desktop", when it is a desktop file id.
    std::optional<std::string> applicationToLaunch(const Json& detect) const override;
    // rpm rewrites its database whenever a package comes or goes.
    std::optional<std::string> databaseToWatch() const override;

  private:
    RpmPaths paths_;
};

}  // namespace suite::rpm
