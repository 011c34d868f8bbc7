#include "privileged/HelperClient.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"
#include "privileged/InstallHelper.h"
#include "privileged/VouchedPackages.h"

namespace suite::privileged {

namespace {

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

// One pkexec run of the helper for the batch's packages at `batchIndex`; what became of each of
// them goes into `outcome`.
InstallerRun runHelper(const HelperPaths& paths, const std::vector<VerifiedPackage>& packages,
                       const std::vector<std::size_t>& batchIndex, const BatchProgress& progress,
                       BatchOutcome& outcome) {
    std::error_code error;
    std::vector<std::string> arguments = {
        paths.helper, std::filesystem::absolute(paths.catalog, error).string(),
        std::filesystem::absolute(paths.signature, error).string()};
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
    auto ran = runProcess(paths.pkexec, arguments, options);
    if (!ran) {
        return {.notRun = NotRun::CannotStart, .packages = batchIndex, .detail = paths.pkexec};
    }
    return readRun(*ran, batchIndex, paths.pkexec, outcome);
}

}  // namespace

std::string findInstallHelper(const std::filesystem::path& executable) {
    return findCompanionProgram(executable, "install-helper", "talven-suite-install-helper");
}

std::string findRestoreHelper(const std::filesystem::path& executable) {
    return findCompanionProgram(executable, "restore-helper", "talven-suite-restore-helper");
}

BatchOutcome installThroughHelper(const HelperPaths& paths,
                                  const std::vector<VerifiedPackage>& packages,
                                  const BatchProgress& progress) {
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
    if (paths.helper.empty()) return notRun(NotRun::HelperMissing, "", PackageReport::Failed);
    std::error_code error;
    if (!std::filesystem::is_regular_file(paths.catalog, error) ||
        !std::filesystem::is_regular_file(paths.signature, error)) {
        // The helper would refuse every package: no need to ask for a password first.
        return notRun(NotRun::NoKeptCatalog, paths.catalog, PackageReport::Unvouched);
    }
    // The helper takes a bounded number of packages, so a longer batch asks for rights once per
    // part; a part that does not run (the prompt dismissed) ends the batch there, and what is left
    // settles as that part does, while the parts that ran settle as after a run.
    for (std::size_t start = 0; start < named.size(); start += kMaxHelperPackages) {
        const std::size_t end = std::min(start + kMaxHelperPackages, named.size());
        outcome.runs.push_back(runHelper(
            paths, packages, {named.begin() + start, named.begin() + end}, progress, outcome));
        const RunResult result = outcome.runs.back().result;
        const std::size_t settled = result == RunResult::Ran ? end : named.size();
        for (std::size_t k = start; k < settled; ++k) outcome.packages[named[k]].run = result;
        if (result != RunResult::Ran) break;
    }
    return outcome;
}

}  // namespace suite::privileged
