#include "install/InstallResults.h"

#include <algorithm>
#include <set>

#include "platform/Files.h"

namespace suite {

namespace {

std::optional<std::string> absolutePath(const std::filesystem::path& path) {
    std::error_code error;
    auto full = std::filesystem::absolute(path, error);
    if (error) return std::nullopt;
    return full.string();
}

}  // namespace

PackageSelection selectPackages(const std::vector<VerifiedPackage>& input,
                                const PackageSystem& system) {
    PackageSelection selection;
    std::set<std::string> packageIds;
    for (const auto& pair : input) {
        if (!system.isPackageFile(pair.file)) continue;
        selection.packages.push_back(pair);
        packageIds.insert(pair.item.id);
    }
    std::stable_partition(selection.packages.begin(), selection.packages.end(),
                          [](const VerifiedPackage& p) { return !p.item.self; });
    for (const auto& pair : input) {
        if (!packageIds.contains(pair.item.id)) selection.withoutPackage.push_back(pair.item.id);
    }
    return selection;
}

std::string installPrompt(bool arabic) {
    return arabic ? "يريد TALVEN™ Suite تثبيت تطبيقات TALVEN."
                  : "TALVEN™ Suite wants to install TALVEN apps.";
}

std::optional<std::string> relaunchProgram(const std::optional<std::string>& installedProgram,
                                           const std::filesystem::path& ownExecutable) {
    // A bundle folder (as on a Mac) cannot be executed here; the running program's own file is
    // the next best thing to start.
    if (installedProgram) {
        if (auto full = absolutePath(*installedProgram); full && isExecutableFile(*full)) {
            return full;
        }
    }
    if (ownExecutable.empty()) return std::nullopt;
    if (auto full = absolutePath(ownExecutable); full && isExecutableFile(*full)) return full;
    return std::nullopt;
}

}  // namespace suite
