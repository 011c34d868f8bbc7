#include "backends/macos/MacPackageSystem.h"

#include <ctime>

#include "backends/macos/InstallScript.h"
#include "catalog/VersionCompare.h"
#include "common/Ascii.h"
#include "platform/InstallerRecords.h"

namespace suite {

namespace {

bool isPlainNameList(const Json& detect, const char* key) {
    return !stringListMember(detect, key).empty();
}

}  // namespace

MacPackageSystem::MacPackageSystem(DetectPaths detect, InstallPaths install,
                                   PrivilegedRunner& runner)
    : detect_(std::move(detect)), install_(std::move(install)), runner_(runner) {
    if (install_.appDirs.empty()) install_.appDirs = detect_.appDirs;
}

bool MacPackageSystem::isPackageFile(const std::filesystem::path& file) const {
    return lowerAscii(file.extension().string()) == ".pkg";
}

std::vector<std::optional<std::string>> MacPackageSystem::installedVersions(
    const std::vector<Json>& items) const {
    std::vector<std::optional<std::string>> versions;
    versions.reserve(items.size());
    for (const auto& item : items) {
        versions.push_back(Detect::version(stringMember(item, "group").value_or(""),
                                           objectMemberOrEmpty(item, "detect"), detect_));
    }
    return versions;
}

int MacPackageSystem::compareVersions(std::string_view a, std::string_view b) const {
    return suite::compareVersions(a, b);
}

bool MacPackageSystem::detects(const Json& item) const {
    const Json& detect = objectMemberOrEmpty(item, "detect");
    return isPlainNameList(detect, "apps") || isPlainNameList(detect, "receipts");
}

bool MacPackageSystem::judgesAfterRun(const Json& item) const {
    return stringMember(item, "group") == "app";
}

BatchOutcome MacPackageSystem::installBatch(const std::vector<VerifiedPackage>& packages,
                                            const std::string& prompt, const BatchProgress&) {
    // One time stamp for the whole run, taken before the user is asked for anything.
    const std::string stamp = installTimeStamp(std::time(nullptr));
    const PrivilegedOutcome ran =
        runner_.run(buildInstallScript(packages, install_, stamp), prompt);
    const InstallerReport report = readInstallerRecords(ran.output, packages.size());

    InstallerRun run{.result = ran.cancelled ? RunResult::Cancelled : RunResult::Ran,
                     .output = report.resultLines,
                     .error = ran.error};
    BatchOutcome outcome;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        run.packages.push_back(i);
        outcome.packages.push_back(
            {.run = run.result,
             .report = report.results[i] == InstallerResult::Installed ? PackageReport::Installed
                       : report.results[i] == InstallerResult::Refused ? PackageReport::Refused
                                                                       : PackageReport::Failed,
             .output = report.outputs[i]});
    }
    outcome.runs.push_back(std::move(run));
    return outcome;
}

std::optional<std::string> MacPackageSystem::installedProgram() const {
    return Detect::appPath(kOwnBundleName, detect_);
}

std::optional<std::string> MacPackageSystem::productToOpen(const Json& detect) const {
    for (const auto& name : stringListMember(detect, "apps")) {
        if (auto path = Detect::appPath(name, detect_)) return path;
    }
    return std::nullopt;
}

}  // namespace suite
