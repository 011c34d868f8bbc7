#include "backends/debian/DebianPackageSystem.h"

#include <algorithm>
#include <set>

#include "backends/debian/InstallHelper.h"
#include "backends/debian/VouchedPackages.h"
#include "common/Ascii.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"

namespace suite::debian {

namespace {

std::vector<std::string> packageNames(const Json& item) {
    std::vector<std::string> names;
    for (auto& name : stringListMember(objectMemberOrEmpty(item, "detect"), "receipts")) {
        if (isPackageName(name)) names.push_back(std::move(name));
    }
    return names;
}

PackageReport reportOf(InstallerResult result) {
    switch (result) {
        case InstallerResult::Installed:
            return PackageReport::Installed;
        case InstallerResult::Refused:
            return PackageReport::Refused;
        case InstallerResult::Unvouched:
            return PackageReport::Unvouched;
        default:
            return PackageReport::Failed;
    }
}

// What pkexec and the helper left behind, for the batch's packages at `batchIndex`.
InstallerRun readRun(const ProcessResult& ran, const std::vector<std::size_t>& batchIndex,
                     const std::string& pkexec, BatchOutcome& outcome) {
    InstallerRun run{.packages = batchIndex, .error = ran.standardError};
    const InstallerReport report = readInstallerRecords(ran.standardOutput, batchIndex.size());
    if (report.started) {
        run.result = RunResult::Ran;
        run.output = report.resultLines;
        for (std::size_t k = 0; k < batchIndex.size(); ++k) {
            PackageOutcome& package = outcome.packages[batchIndex[k]];
            package.report = reportOf(report.results[k]);
            package.reason = report.reasons[k];
            package.output = report.outputs[k];
        }
    } else if (ran.exitStatus == 126 && ran.standardOutput.empty()) {
        // pkexec's answer when the user dismissed the authentication dialog.
        run.result = RunResult::Cancelled;
    } else {
        // Not authorised, no authentication agent, no polkit at all: nobody could say yes.
        run.notRun = NotRun::NotAuthorized;
        run.detail = pkexec;
        run.exitStatus = ran.exitStatus;
    }
    return run;
}

// A desktop file id as the desktop names entries: "name.desktop", its name of ASCII letters,
// digits, "-", "_" and "." (a "-" also stands for a subfolder). Anything else, a path above all,
// is not something the catalog may have the program start.
bool isDesktopFileId(const std::string& id) {
    constexpr std::string_view suffix = ".desktop";
    if (id.size() <= suffix.size() || !id.ends_with(suffix) || id.size() > 255) return false;
    if (id.front() == '.' || id.front() == '-') return false;
    for (char c : id) {
        const bool allowed = isAsciiAlnum(c) || c == '-' || c == '_' || c == '.';
        if (!allowed) return false;
    }
    return true;
}

}  // namespace

std::string findInstallHelper(const std::filesystem::path& executable) {
    return findCompanionProgram(executable, "install-helper", "talven-suite-install-helper");
}

bool hasDpkg(const std::string& adminDir) {
    std::error_code error;
    return std::filesystem::is_regular_file(adminDir + "/status", error);
}

bool DebianPackageSystem::isPackageFile(const std::filesystem::path& file) const {
    return lowerAscii(file.extension().string()) == ".deb";
}

std::vector<std::optional<std::string>> DebianPackageSystem::installedVersions(
    const std::vector<Json>& items) const {
    std::vector<std::vector<std::string>> wanted;
    std::set<std::string> all;
    wanted.reserve(items.size());
    for (const auto& item : items) {
        wanted.push_back(packageNames(item));
        all.insert(wanted.back().begin(), wanted.back().end());
    }
    const auto installed = debian::installedVersions(all, paths_.adminDir);
    std::vector<std::optional<std::string>> versions(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (const auto& name : wanted[i]) {
            if (auto found = installed.find(name); found != installed.end()) {
                versions[i] = found->second;
                break;
            }
        }
    }
    return versions;
}

bool DebianPackageSystem::detects(const Json& item) const {
    return !packageNames(item).empty();
}

std::optional<std::string> DebianPackageSystem::installedProgram() const {
    // Wherever the running copy came from, a self-update installed this package's program.
    if (debian::installedVersions({kOwnPackage}, paths_.adminDir).empty()) return std::nullopt;
    return std::string(kOwnPackageProgram);
}

BatchOutcome DebianPackageSystem::installBatch(const std::vector<VerifiedPackage>& packages,
                                               const std::string&, const BatchProgress& progress) {
    BatchOutcome outcome{.packages = std::vector<PackageOutcome>(packages.size())};
    std::vector<std::size_t> named;  // the batch's packages the helper can be asked for, in order
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (isProductId(packages[i].item.id)) {
            named.push_back(i);
        } else {
            outcome.packages[i].report = PackageReport::Unvouched;
        }
    }
    if (named.empty()) return outcome;
    const auto notRun = [&](NotRun why, std::string detail, PackageReport report) {
        for (std::size_t i : named) outcome.packages[i].report = report;
        outcome.runs.push_back({.notRun = why, .packages = named, .detail = std::move(detail)});
        return outcome;
    };
    if (paths_.helper.empty()) return notRun(NotRun::HelperMissing, "", PackageReport::Failed);
    std::error_code error;
    if (!std::filesystem::is_regular_file(paths_.catalog, error) ||
        !std::filesystem::is_regular_file(paths_.signature, error)) {
        // The helper would refuse every package: no need to ask for a password first.
        return notRun(NotRun::NoKeptCatalog, paths_.catalog, PackageReport::Unvouched);
    }
    // The helper takes a bounded number of packages, so a longer batch asks for rights once per
    // part; a part that does not run (the prompt dismissed) ends the batch there, and what is left
    // settles as that part does, while the parts that ran settle as after a run.
    for (std::size_t start = 0; start < named.size(); start += kMaxHelperPackages) {
        const std::size_t end = std::min(start + kMaxHelperPackages, named.size());
        outcome.runs.push_back(
            runHelper(packages, {named.begin() + start, named.begin() + end}, progress, outcome));
        const RunResult result = outcome.runs.back().result;
        const std::size_t settled = result == RunResult::Ran ? end : named.size();
        for (std::size_t k = start; k < settled; ++k) outcome.packages[named[k]].run = result;
        if (result != RunResult::Ran) break;
    }
    return outcome;
}

InstallerRun DebianPackageSystem::runHelper(const std::vector<VerifiedPackage>& packages,
                                            const std::vector<std::size_t>& batchIndex,
                                            const BatchProgress& progress,
                                            BatchOutcome& outcome) const {
    std::error_code error;
    std::vector<std::string> arguments = {
        paths_.helper, std::filesystem::absolute(paths_.catalog, error).string(),
        std::filesystem::absolute(paths_.signature, error).string()};
    for (std::size_t i : batchIndex) {
        arguments.push_back(packages[i].item.id);
        arguments.push_back(std::filesystem::absolute(packages[i].file, error).string());
    }
    ProcessOptions options;
    options.captureStandardError = true;
    options.outputLimit = 16u << 20;
    LineSplitter lines;
    if (progress) {
        options.onOutput = [&](std::string_view piece) {
            lines.feed(piece, [&](std::string_view line) {
                const InstallerRecord record = readInstallerRecord(line, batchIndex.size());
                switch (record.kind) {
                    case InstallerRecord::Kind::Started:
                        progress({BatchStep::Kind::Authorized, 0, {}, {}, {}});
                        break;
                    case InstallerRecord::Kind::Step:
                        progress({record.step, batchIndex[record.index], {}, {}, {}});
                        break;
                    case InstallerRecord::Kind::Result:
                        progress({BatchStep::Kind::Finished, batchIndex[record.index],
                                  reportOf(record.result), record.reason, record.version});
                        break;
                    default:
                        break;
                }
            });
        };
    }
    auto ran = runProcess(paths_.pkexec, arguments, options);
    if (!ran) {
        return {.notRun = NotRun::CannotStart, .packages = batchIndex, .detail = paths_.pkexec};
    }
    return readRun(*ran, batchIndex, paths_.pkexec, outcome);
}

std::optional<std::string> DebianPackageSystem::applicationToLaunch(const Json& detect) const {
    const auto id = stringMember(detect, "desktop");
    if (!id || !isDesktopFileId(*id)) return std::nullopt;
    return id;
}

}  // namespace suite::debian
