// The second half of an install: one privileged run for the whole batch, then one result for
// every package.
#include <memory>

#include "bridge/Events.h"
#include "catalog/Scan.h"
#include "common/Json.h"
#include "install/InstallFlow.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"

namespace suite {

namespace {

// What the background job hands back: the run's outcome and, for each package not settled while
// it ran, what the installed check found (nothing where the host does not judge after a run).
struct FinishedRun {
    BatchOutcome outcome;
    std::vector<std::optional<bool>> installed;
};

// The page's bar within the install phase: 0 while a package waits for its turn in the run.
constexpr double kUnpackingPct = 40, kSettingUpPct = 80;

}  // namespace

void InstallFlow::runInstallers(std::vector<VerifiedPackage> input) {
    for (const auto& pair : input) askedVersions_[pair.item.id] = pair.item.version;
    PackageSelection selection = selectPackages(input, services_.packages);
    for (const auto& id : selection.withoutPackage) {
        send_(bridge::failureEvent(id, bridge::FailedAt::Install));
    }
    if (selection.packages.empty()) return;
    for (const auto& package : selection.packages) {
        send_(bridge::progressEvent(package.item.id, "password"));
    }

    runInProgress_ = true;
    auto packages =
        std::make_shared<const std::vector<VerifiedPackage>>(std::move(selection.packages));
    // Settled while the run went on (main thread only).
    auto settled = std::make_shared<std::vector<bool>>(packages->size(), false);
    // A run that has already ended (the request could not even be shown) must not put its
    // packages back into the "install" phase after their results.
    auto handled = std::make_shared<bool>(false);
    if (!services_.packages.reportsSteps()) {
        services_.queue.postAfter(0.4, lifetime_.guard([this, packages, handled] {
            if (*handled) return;
            for (const auto& package : *packages)
                send_(bridge::progressEvent(package.item.id, "install"));
        }));
    }

    // Guarded here, on the main thread; the run's thread only posts them.
    auto onInstalled = lifetime_.guard<BatchStep, std::optional<bool>>(
        [this, packages, settled](BatchStep step, std::optional<bool> installed) {
            (*settled)[step.index] = true;
            settle((*packages)[step.index], step.report, step.reason, RunResult::Ran, installed);
        });
    auto onStep = lifetime_.guard<BatchStep>([this, packages](BatchStep step) {
        if (step.kind == BatchStep::Kind::Authorized) {
            for (const auto& package : *packages)
                send_(bridge::progressEvent(package.item.id, "install", 0));
        } else {
            send_(bridge::progressEvent(
                (*packages)[step.index].item.id, "install",
                step.kind == BatchStep::Kind::SettingUp ? kSettingUpPct : kUnpackingPct));
        }
    });
    // Called on the run's thread: it touches only the queue, the batch (which nobody changes)
    // and the package system's reads that any thread may make.
    BatchProgress progress = [&queue = services_.queue, &system = services_.packages, packages,
                              onInstalled, onStep](const BatchStep& step) {
        if (step.kind != BatchStep::Kind::Authorized && step.index >= packages->size()) return;
        if (step.kind != BatchStep::Kind::Finished) {
            queue.post([onStep, step] { onStep(step); });
            return;
        }
        // A package that is in is settled at once; anything else waits for the run's end, where
        // a hand-off may follow.
        if (step.report != PackageReport::Installed) return;
        // Where the installer names the version it installed, that is judged against the
        // catalog's at once, without a look at the database (which dpkg may not have written
        // yet); otherwise the package waits for the one look after the run.
        const InstallItem& item = (*packages)[step.index].item;
        std::optional<bool> installed;
        if (system.judgesAfterRun(detectionOf(item))) {
            if (step.version.empty() || item.version.empty() ||
                system.compareVersions(step.version, item.version) < 0) {
                return;
            }
            installed = true;
        }
        queue.post([onInstalled, step, installed] { onInstalled(step, installed); });
    };

    onBackground<std::shared_ptr<FinishedRun>>(
        services_.background, services_.queue,
        [&system = services_.packages, packages, prompt = prompt_(), progress] {
            auto result = std::make_shared<FinishedRun>();
            result->outcome = system.installBatch(*packages, prompt, progress);
            // One look at the database for the whole batch, here rather than on the main thread.
            std::vector<Json> judged;
            std::vector<std::size_t> at;
            for (std::size_t i = 0; i < packages->size(); ++i) {
                Json item = detectionOf((*packages)[i].item);
                if (!system.judgesAfterRun(item)) continue;
                judged.push_back(std::move(item));
                at.push_back(i);
            }
            result->installed.assign(packages->size(), std::nullopt);
            const auto found = installedAtCatalogVersions(judged, system);
            for (std::size_t k = 0; k < at.size(); ++k) result->installed[at[k]] = found[k];
            return result;
        },
        lifetime_.guard<std::shared_ptr<FinishedRun>>(
            [this, packages, settled, handled](std::shared_ptr<FinishedRun> result) {
                *handled = true;
                finishRun(*packages, *settled, result->outcome, result->installed);
            }));
}

void InstallFlow::finishRun(const std::vector<VerifiedPackage>& packages,
                            const std::vector<bool>& settled, const BatchOutcome& outcome,
                            const std::vector<std::optional<bool>>& installed) {
    for (const auto& line : batchLogLines(outcome)) log(line);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (settled[i]) continue;
        const PackageOutcome none;
        const PackageOutcome& package = i < outcome.packages.size() ? outcome.packages[i] : none;
        settle(packages[i], package.report, package.reason, package.run, installed[i]);
    }
    runInProgress_ = false;
    // With a package in the desktop's installer, that window stays in front.
    if (handOff_.empty()) services_.shell.activate();
    afterRun();
}

void InstallFlow::settle(const VerifiedPackage& package, PackageReport report,
                         const FailureReason& reason, RunResult run,
                         std::optional<bool> installedNow) {
    const auto& [item, file] = package;
    const std::string& id = item.id;
    // The installed check decides where it can; otherwise the installer's own report.
    const bool installed = installedNow.value_or(report == PackageReport::Installed);
    std::error_code ignored;
    if (installed) {
        send_(bridge::successEvent(id, item.version));
        kept_.keep(item, file, settings_.catalogFile, settings_.signatureFile);
        // It comes last in its batch; the new version starts once nothing else is due.
        if (item.self && !settings_.windowless) relaunchPending_ = true;
    } else if (report == PackageReport::Refused || report == PackageReport::Unvouched) {
        // Not the package the catalog describes, or no signed catalog root could verify vouches
        // for it: nobody should be offered to install it.
        std::filesystem::remove(file, ignored);
        send_(bridge::failureEvent(id, bridge::FailedAt::Check,
                                   report == PackageReport::Unvouched ? "signature" : ""));
    } else if (run == RunResult::Cancelled) {
        send_(bridge::failureEvent(id, bridge::FailedAt::Cancelled));
    } else if (run == RunResult::Unavailable || reason.code == "architecture" ||
               settings_.windowless) {
        // Nothing ran, or nothing on this machine can run it: another installer would meet the
        // same wall.
        send_(bridge::failureEvent(id, bridge::FailedAt::Install, reason.code, reason.detail));
    } else {
        handOffPackage(item, file, reason);
    }
}

void InstallFlow::afterRun() {
    if (!waiting_.empty()) {
        InstallRequest request{.items = std::move(waiting_)};
        waiting_.clear();
        install(std::move(request));
    } else if (mayRelaunch()) {
        reopen();
    }
}

bool InstallFlow::mayRelaunch() const {
    return relaunchPending_ && !batch_ && !runInProgress_ && waiting_.empty() &&
           !(windowShown_ && windowShown_());
}

void InstallFlow::relaunchOnlyWhileHidden(std::function<bool()> windowShown) {
    windowShown_ = std::move(windowShown);
}

void InstallFlow::windowHidden() {
    if (mayRelaunch()) reopen();
}

}  // namespace suite
