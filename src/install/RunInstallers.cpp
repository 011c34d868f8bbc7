// The second half of an install: one privileged run for the whole batch, then one result for
// every package.
#include <memory>

#include "bridge/Events.h"
#include "install/InstallFlow.h"
#include "install/InstallResults.h"

namespace suite {

void InstallFlow::runInstallers(std::vector<VerifiedPackage> input) {
    PackageSelection selection = selectPackages(input, services_.packages);
    for (const auto& id : selection.withoutPackage) send_(bridge::failureEvent(id, "install"));
    if (selection.packages.empty()) return;
    for (const auto& package : selection.packages) {
        send_(bridge::progressEvent(itemId(package.item), "password"));
    }

    runInProgress_ = true;
    auto packages =
        std::make_shared<const std::vector<VerifiedPackage>>(std::move(selection.packages));
    // A run that has already ended (the request could not even be shown) must not put its
    // packages back into the "install" phase after their results.
    auto handled = std::make_shared<bool>(false);
    services_.queue.postAfter(0.4, lifetime_.guard([this, packages, handled] {
        if (*handled) return;
        for (const auto& package : *packages)
            send_(bridge::progressEvent(itemId(package.item), "install"));
    }));

    onBackground<BatchOutcome>(
        services_.background, services_.queue,
        [&system = services_.packages, packages, prompt = prompt_()] {
            return system.installBatch(*packages, prompt);
        },
        lifetime_.guard<BatchOutcome>([this, packages, handled](BatchOutcome outcome) {
            *handled = true;
            finishRun(*packages, outcome);
        }));
}

void InstallFlow::finishRun(const std::vector<VerifiedPackage>& packages,
                            const BatchOutcome& outcome) {
    for (const auto& line : outcome.log) log(line);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        settle(packages[i], i < outcome.reports.size() ? outcome.reports[i] : PackageReport::Failed,
               i < outcome.ranBefore ? BatchOutcome::Run::Ran : outcome.run);
    }
    runInProgress_ = false;
    // With a package in the desktop's installer, that window stays in front.
    if (handOff_.empty()) services_.shell.activate();
    afterRun();
}

void InstallFlow::settle(const VerifiedPackage& package, PackageReport report,
                         BatchOutcome::Run run) {
    const auto& [item, file] = package;
    const std::string id = itemId(item);
    // The installed check decides where it can; otherwise the installer's own report.
    const bool installed = isInstalled(item).value_or(report == PackageReport::Installed);
    std::error_code ignored;
    if (installed) {
        send_(bridge::successEvent(id, item));
        std::filesystem::remove(file, ignored);
        // It comes last in its batch; the new version starts once nothing else is due.
        if (boolMember(item, "self") == true) relaunchPending_ = true;
    } else if (report == PackageReport::Refused || report == PackageReport::Unvouched) {
        // Not the package the catalog describes, or no signed catalog root could verify vouches
        // for it: nobody should be offered to install it.
        std::filesystem::remove(file, ignored);
        send_(bridge::failureEvent(id, "check",
                                   report == PackageReport::Unvouched ? "signature" : ""));
    } else if (run == BatchOutcome::Run::Cancelled) {
        send_(bridge::failureEvent(id, "cancelled"));
    } else if (run == BatchOutcome::Run::Unavailable) {
        // Nothing ran, and another installer would meet the same wall.
        send_(bridge::failureEvent(id, "install"));
    } else {
        handOffPackage(id, item, file);
    }
}

void InstallFlow::afterRun() {
    if (!waiting_.empty()) {
        std::vector<Json> items = std::move(waiting_);
        waiting_.clear();
        install(std::move(items));
    } else if (relaunchPending_) {
        reopen();
    }
}

}  // namespace suite
