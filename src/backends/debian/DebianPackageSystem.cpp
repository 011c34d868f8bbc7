#include "backends/debian/DebianPackageSystem.h"

#include <algorithm>
#include <set>

#include "backends/debian/InstallHelper.h"
#include "backends/debian/VouchedPackages.h"
#include "common/Ascii.h"
#include "install/InstallLog.h"
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

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
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

// Reads what pkexec and the helper left behind into `outcome`; `batchIndex` maps the helper's
// package positions to the batch's.
void readRun(const ProcessResult& run, const std::vector<std::size_t>& batchIndex,
             const std::string& pkexec, BatchOutcome& outcome) {
    const InstallerReport report = readInstallerRecords(run.standardOutput, batchIndex.size());
    if (report.started) {
        outcome.run = BatchOutcome::Run::Ran;
        outcome.log.push_back(runLogLine(report.resultLines, run.standardError));
        for (std::size_t k = 0; k < batchIndex.size(); ++k) {
            const std::size_t i = batchIndex[k];
            if (auto line = packageOutputLogLine(i, report.outputs[k])) {
                outcome.log.push_back(*line);
            }
            outcome.reports[i] = reportOf(report.results[k]);
            outcome.reasons[i] = report.reasons[k];
        }
    } else if (run.exitStatus == 126 && run.standardOutput.empty()) {
        // pkexec's answer when the user dismissed the authentication dialog.
        outcome.run = BatchOutcome::Run::Cancelled;
        outcome.log.push_back(runLogLine("", run.standardError));
    } else {
        // Not authorised, no authentication agent, no polkit at all: nobody could say yes.
        outcome.run = BatchOutcome::Run::Unavailable;
        outcome.log.push_back("installer: " + pkexec + " did not run the install helper (exit " +
                              std::to_string(run.exitStatus) +
                              "): " + firstLine(run.standardError));
    }
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
    BatchOutcome outcome;
    outcome.reports.assign(packages.size(), PackageReport::Failed);
    outcome.reasons.assign(packages.size(), {});
    outcome.run = BatchOutcome::Run::Ran;
    std::vector<std::size_t> named;  // the batch's packages the helper can be asked for, in order
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (isProductId(packages[i].item.id)) {
            named.push_back(i);
        } else {
            outcome.reports[i] = PackageReport::Unvouched;
            outcome.log.push_back(packageLogLine(i, "no catalog product id; not installed"));
        }
    }
    if (named.empty()) return outcome;
    if (paths_.helper.empty()) {
        outcome.run = BatchOutcome::Run::Unavailable;
        outcome.log.push_back("installer: the install helper is missing; reinstall TALVEN Suite");
        return outcome;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(paths_.catalog, error) ||
        !std::filesystem::is_regular_file(paths_.signature, error)) {
        // The helper would refuse every package: no need to ask for a password first.
        for (std::size_t i : named) outcome.reports[i] = PackageReport::Unvouched;
        outcome.log.push_back("installer: no verified catalog is kept (" + paths_.catalog +
                              "); check for updates, then install");
        return outcome;
    }
    // The helper takes a bounded number of packages, so a longer batch asks for rights once per
    // part; a part that does not run (the prompt dismissed) ends the batch there, and what is left
    // settles as that part does, while the parts that ran settle as after a run.
    for (std::size_t start = 0; start < named.size(); start += kMaxHelperPackages) {
        const std::size_t end = std::min(start + kMaxHelperPackages, named.size());
        if (start > 0) {
            outcome.log.push_back("installer: packages " + std::to_string(start + 1) + " to " +
                                  std::to_string(end) + " of " + std::to_string(named.size()) +
                                  " in another run (the install helper takes " +
                                  std::to_string(kMaxHelperPackages) + " at a time)");
        }
        runHelper(packages, {named.begin() + start, named.begin() + end}, progress, outcome);
        if (outcome.run != BatchOutcome::Run::Ran) break;
        outcome.ranBefore = named[end - 1] + 1;
    }
    return outcome;
}

void DebianPackageSystem::runHelper(const std::vector<VerifiedPackage>& packages,
                                    const std::vector<std::size_t>& batchIndex,
                                    const BatchProgress& progress, BatchOutcome& outcome) const {
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
    auto run = runProcess(paths_.pkexec, arguments, options);
    if (!run) {
        outcome.run = BatchOutcome::Run::Unavailable;
        outcome.log.push_back("installer: cannot start " + paths_.pkexec +
                              " (the pkexec package is not installed)");
        return;
    }
    readRun(*run, batchIndex, paths_.pkexec, outcome);
}

std::optional<std::string> DebianPackageSystem::applicationToLaunch(const Json& detect) const {
    const auto id = stringMember(detect, "desktop");
    if (!id || !isDesktopFileId(*id)) return std::nullopt;
    return id;
}

}  // namespace suite::debian
