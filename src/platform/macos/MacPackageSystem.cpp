#include "platform/macos/MacPackageSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "catalog/VersionCompare.h"
#include "common/Files.h"
#include "common/Utf8.h"
#include "install/InstallLog.h"
#include "platform/macos/InstallScript.h"

namespace suite {

namespace {

// The folder that receives the installers' output during one run. It is made for that run alone
// and only its owner can enter it, so nobody can plant a link where the script, running as root,
// writes. It goes away with whatever it holds when the run is over.
class OutputFolder {
  public:
    // Nothing, with the reason in `failure`, when no such folder can be made.
    static std::unique_ptr<OutputFolder> make(std::string& failure) {
        std::error_code error;
        auto base = std::filesystem::temp_directory_path(error);
        if (error) {
            failure = "no temporary folder: " + error.message();
            return nullptr;
        }
        std::string pattern = (base / "talven-suite-run-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
            failure = "cannot make a private output folder: " + std::string(std::strerror(errno));
            return nullptr;
        }
        return std::unique_ptr<OutputFolder>(new OutputFolder(std::move(pattern)));
    }

    ~OutputFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const std::string& path() const { return path_; }

  private:
    explicit OutputFolder(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

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
                                            const std::string& prompt) {
    // One time stamp for the whole run, taken before the user is asked for anything.
    const std::string stamp = installTimeStamp(std::time(nullptr));
    std::string failure;
    auto folder = OutputFolder::make(failure);
    PrivilegedOutcome ran;
    if (folder) {
        ran = runner_.run(buildInstallScript(packages, install_, folder->path(), stamp), prompt);
    } else {
        // Not started: without a private folder root would write where others can reach.
        ran.error = failure;
    }

    BatchOutcome outcome;
    outcome.run = ran.cancelled ? BatchOutcome::Run::Cancelled : BatchOutcome::Run::Ran;
    outcome.log.push_back(runLogLine(ran.output, ran.error));
    const auto lines = outputLines(ran.output);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (folder) {
            auto text = readWholeFile(packageOutputPath(folder->path(), i));
            if (text && isValidUtf8(*text)) outcome.log.push_back(packageLogLine(i, *text));
        }
        outcome.reports.push_back(lines.contains("OK:" + std::to_string(i))
                                      ? PackageReport::Installed
                                      : PackageReport::Failed);
    }
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
