// Packages the privileged run could not install go to the desktop's installer. One the host can
// detect is in once the package database shows it at its catalog version; it fails only when
// the user stops waiting or after a long limit, since a single-instance installer passes the
// file to its running window and ends at once. One it cannot detect is settled by its
// installer's end, as the user comes back.
#include <filesystem>

#include "bridge/Events.h"
#include "install/InstallFlow.h"
#include "install/InstallResults.h"

namespace suite {

void InstallFlow::handOffPackage(const InstallItem& item, const std::filesystem::path& file,
                                 const FailureReason& reason) {
    const std::string& id = item.id;
    auto handler =
        services_.launcher.openWithHandlerFor(file.string(), services_.packages.handOffType());
    if (!handler) {
        // No installer window opened, so the page must not say one did.
        send_(bridge::failureEvent(id, bridge::FailedAt::Install, reason.code, reason.detail));
        return;
    }
    if (auto earlier = handOff_.find(id); earlier != handOff_.end()) {
        superseded_.push_back(std::move(earlier->second));
    }
    const std::uint64_t serial = ++handOffs_;
    handOff_.insert_or_assign(id, HandOff{item, file, std::move(handler), reason, serial});
    send_(bridge::progressEvent(id, "installer"));
    if (!services_.packages.detects(detectionOf(item))) return;
    watchDatabase();
    services_.queue.postAfter(kHandOffLimitSeconds, lifetime_.guard([this, id, serial] {
        auto entry = handOff_.find(id);
        if (entry == handOff_.end() || entry->second.serial != serial) return;
        log("installer: stopped waiting for " + id + " after " +
            std::to_string(static_cast<int>(kHandOffLimitSeconds / 60)) + " minutes");
        settleHandOff(id, false);
    }));
}

void InstallFlow::stopWaiting(const std::string& id) {
    if (!handOff_.contains(id)) {
        log("stop waiting: nothing handed to an installer for " + id);
        return;
    }
    settleHandOff(id, false);
}

void InstallFlow::settleHandOff(const std::string& id, bool installed) {
    auto found = handOff_.find(id);
    if (found == handOff_.end()) return;
    const HandOff entry = std::move(found->second);
    handOff_.erase(found);
    if (handOff_.empty()) databaseWatch_.reset();
    if (!installed) {
        // The installer may still be open with the file, so no download may replace it until
        // that has closed; it stays for the retry too.
        send_(bridge::failureEvent(id, bridge::FailedAt::Install, entry.reason.code,
                                   entry.reason.detail));
        superseded_.push_back(entry);
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(entry.file, ignored);
    send_(bridge::successEvent(id, entry.item.version));
    if (entry.item.self) reopen();
}

void InstallFlow::watchDatabase() {
    if (databaseWatch_) return;
    if (auto database = services_.packages.databaseToWatch()) {
        databaseWatch_ =
            services_.fileWatcher.watch(*database, lifetime_.guard([this] { databaseChanged(); }));
    }
}

void InstallFlow::databaseChanged() {
    const std::uint64_t change = ++databaseChanges_;
    services_.queue.postAfter(kDatabaseSettleSeconds, lifetime_.guard([this, change] {
        if (change == databaseChanges_) checkHandOffs();
    }));
}

void InstallFlow::checkHandOffs() {
    if (checking_) {
        checkAgain_ = true;
        return;
    }
    std::vector<std::pair<std::string, std::uint64_t>> asked;
    std::vector<Json> items;
    for (const auto& [id, entry] : handOff_) {
        Json item = detectionOf(entry.item);
        if (!services_.packages.detects(item)) continue;
        asked.emplace_back(id, entry.serial);
        items.push_back(std::move(item));
    }
    if (items.empty()) return;
    checking_ = true;
    using Versions = std::vector<std::optional<std::string>>;
    onBackground<Versions>(
        services_.background, services_.queue,
        [&packages = services_.packages, items] { return packages.installedVersions(items); },
        lifetime_.guard<Versions>([this, asked, items](Versions versions) {
            checking_ = false;
            for (std::size_t i = 0; i < asked.size() && i < versions.size(); ++i) {
                auto entry = handOff_.find(asked[i].first);
                // Settled meanwhile, or handed off again: this look was not for that one.
                if (entry == handOff_.end() || entry->second.serial != asked[i].second) continue;
                if (!versions[i]) continue;
                const std::string& wanted = entry->second.item.version;
                if (!wanted.empty() &&
                    services_.packages.compareVersions(*versions[i], wanted) < 0) {
                    continue;
                }
                settleHandOff(asked[i].first, true);
                // The entries not reached yet go with the quitting process.
                if (relaunching_) return;
            }
            if (std::exchange(checkAgain_, false)) checkHandOffs();
        }));
}

// Whether "the installer is still open" is asked of each entry's own handler, not of every
// installer window on the desktop: here each hand-off starts its own handler process, so a
// package whose window the user has closed is settled even while another package's is open.
void InstallFlow::applicationDidBecomeActive() {
    std::erase_if(superseded_, [](const HandOff& entry) {
        return !entry.handler || !entry.handler->isRunning();
    });
    // A copy: entries leave the table during the walk.
    const auto entries = handOff_;
    for (const auto& [id, entry] : entries) {
        // An installer that closed says nothing about what it did where the product can be
        // looked for; only where it cannot does the installer's end count as done.
        if (services_.packages.detects(detectionOf(entry.item))) continue;
        if (!entry.handler || !entry.handler->isRunning()) settleHandOff(id, true);
        if (relaunching_) return;
    }
    if (!databaseWatch_) checkHandOffs();
}

}  // namespace suite
