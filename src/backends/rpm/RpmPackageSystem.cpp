#include "backends/rpm/RpmPackageSystem.h"

#include <set>

#include "backends/rpm/RpmDatabase.h"
#include "common/Ascii.h"
#include "install/PackageDetect.h"

namespace suite::rpm {

bool RpmPackageSystem::isPackageFile(const std::filesystem::path& file) const {
    return lowerAscii(file.extension().string()) == ".rpm";
}

std::vector<std::optional<std::string>> RpmPackageSystem::installedVersions(
    const std::vector<Json>& items) const {
    return versionsOfFirstReceipts(items, isRpmPackageName,
                                   [&](const std::set<std::string>& names) {
                                       return rpm::installedVersions(names, paths_.root);
                                   });
}

bool RpmPackageSystem::detects(const Json& item) const {
    return !receiptNames(item, isRpmPackageName).empty();
}

std::optional<std::string> RpmPackageSystem::installedProgram() const {
    // Wherever the running copy came from, a self-update installed this package's program.
    if (rpm::installedVersions({kOwnPackage}, paths_.root).empty()) return std::nullopt;
    return std::string(kOwnPackageProgram);
}

std::optional<std::string> RpmPackageSystem::applicationToLaunch(const Json& detect) const {
    return desktopEntryOf(detect);
}

std::optional<std::string> RpmPackageSystem::databaseToWatch() const {
    return databaseFile(paths_.root);
}

}  // namespace suite::rpm
