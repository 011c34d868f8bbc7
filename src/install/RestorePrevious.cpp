// Going back: the package an update replaced goes in again through the host's restore, behind
// an administrator's password every time, verified as root against the signed catalog document
// that vouched for it when it first went in.
#include <memory>

#include "bridge/Events.h"
#include "install/InstallFlow.h"
#include "install/InstallLog.h"

namespace suite {

void InstallFlow::restore(const std::string& id) {
    const auto kept = kept_.previous(id);
    if (busy() || !kept || !services_.packages.restores()) {
        log("restore of " + quotedForLog(id.substr(0, 100)) + ": " +
            (busy()  ? "another install is under way"
             : !kept ? "no earlier package is kept"
                     : "this system cannot restore packages"));
        // Nothing was tried, so the history has nothing to tell.
        page_(bridge::failureEvent(id, bridge::FailedAt::Install));
        return;
    }
    InstallItem item{.id = id, .file = kept->package.filename().string(), .version = kept->version};
    askedVersions_[id] = item.version;
    log("restore of " + id + " " + item.version + ": asking for an administrator");
    send_(bridge::progressEvent(id, "password"));
    runInProgress_ = true;
    // Called on the run's thread; only the main queue is touched there.
    BatchProgress progress = [&queue = services_.queue,
                              onStep = lifetime_.guard<Json>([this](Json event) { send_(event); }),
                              id](const BatchStep& step) {
        if (step.kind == BatchStep::Kind::Finished) return;
        const double pct = step.kind == BatchStep::Kind::SettingUp   ? 80
                           : step.kind == BatchStep::Kind::Unpacking ? 40
                                                                     : 0;
        queue.post([onStep, event = bridge::progressEvent(id, "install", pct)] { onStep(event); });
    };
    onBackground<std::shared_ptr<BatchOutcome>>(
        services_.background, services_.queue,
        [&system = services_.packages, package = VerifiedPackage{item, kept->package},
         catalog = kept->catalog, signature = kept->signature, progress] {
            return std::make_shared<BatchOutcome>(
                system.restore(package, catalog, signature, progress));
        },
        lifetime_.guard<std::shared_ptr<BatchOutcome>>(
            [this, item](std::shared_ptr<BatchOutcome> outcome) {
                finishRestore(item, *outcome);
            }));
}

void InstallFlow::finishRestore(const InstallItem& item, const BatchOutcome& outcome) {
    for (const auto& line : batchLogLines(outcome)) log(line);
    runInProgress_ = false;
    const PackageOutcome none;
    const PackageOutcome& package = outcome.packages.empty() ? none : outcome.packages.front();
    Json event;
    if (package.report == PackageReport::Installed) {
        kept_.restored(item.id);
        event = bridge::successEvent(item.id, item.version);
    } else if (package.run == RunResult::Cancelled) {
        event = bridge::failureEvent(item.id, bridge::FailedAt::Cancelled);
    } else if (package.report == PackageReport::Refused ||
               package.report == PackageReport::Unvouched) {
        event = bridge::failureEvent(item.id, bridge::FailedAt::Check,
                                     package.report == PackageReport::Unvouched ? "signature" : "");
    } else {
        event = bridge::failureEvent(item.id, bridge::FailedAt::Install, package.reason.code,
                                     package.reason.detail);
    }
    page_(event);
    recordResult(event, true);
    services_.shell.activate();
    afterRun();
}

}  // namespace suite
