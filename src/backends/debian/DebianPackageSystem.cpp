#include "backends/debian/DebianPackageSystem.h"

#include <algorithm>
#include <set>

#include "common/Ascii.h"
#include "install/PackageDetect.h"

namespace suite::debian {

bool hasDpkg(const std::string& adminDir) {
    std::error_code error;
    return std::filesystem::is_regular_file(adminDir + "/status", error);
}

bool DebianPackageSystem::isPackageFile(const std::filesystem::path& file) const {
    return lowerAscii(file.extension().string()) == ".deb";
}

std::vector<std::optional<std::string>> DebianPackageSystem::installedVersions(
    const std::vector<Json>& items) const {
    return versionsOfFirstReceipts(items, isPackageName, [&](const std::set<std::string>& names) {
        return debian::installedVersions(names, paths_.adminDir);
    });
}

bool DebianPackageSystem::detects(const Json& item) const {
    return !receiptNames(item, isPackageName).empty();
}

std::optional<std::string> DebianPackageSystem::installedProgram() const {
    // Wherever the running copy came from, a self-update installed this package's program.
    if (debian::installedVersions({kOwnPackage}, paths_.adminDir).empty()) return std::nullopt;
    return std::string(kOwnPackageProgram);
}

std::optional<std::string> DebianPackageSystem::applicationToLaunch(const Json& detect) const {
    return desktopEntryOf(detect);
}

}  // namespace suite::debian
