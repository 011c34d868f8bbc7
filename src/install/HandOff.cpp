// Packages the privileged run could not install go to the desktop's installer, and are examined
// each time the user comes back to the program.
#include <filesystem>

#include "bridge/Events.h"
#include "catalog/Scan.h"
#include "install/InstallFlow.h"
#include "install/InstallResults.h"

namespace suite {

void InstallFlow::handOffPackage(const std::string& id, const Json& item,
                                 const std::filesystem::path& file, const FailureReason& reason) {
    auto handler =
        services_.launcher.openWithHandlerFor(file.string(), services_.packages.handOffType());
    if (!handler) {
        // No installer window opened, so the page must not say one did.
        send_(bridge::failureEvent(id, "install", reason.code, reason.detail));
        return;
    }
    if (auto earlier = handOff_.find(id); earlier != handOff_.end()) {
        superseded_.push_back(std::move(earlier->second));
    }
    handOff_.insert_or_assign(id, HandOff{item, file, std::move(handler), reason});
    send_(bridge::progressEvent(id, "installer"));
}

bool InstallFlow::handedOffIsInstalled(const HandOff& entry, bool installerRunning) const {
    const PackageSystem& packages = services_.packages;
    // An installer that closed says nothing about what it did; only the product's presence at
    // the catalog's version does, wherever the host can look for it.
    if (!packages.detects(entry.item)) return !installerRunning;
    if (auto atVersion = installedAtCatalogVersion(entry.item, packages)) return *atVersion;
    return packages.installedVersions({entry.item}).front().has_value();
}

// Whether "the installer is still open" is asked of each entry's own handler, not of every
// installer window on the desktop: here each hand-off starts its own handler process, so a
// package whose window the user has closed is settled even while another package's is open.
void InstallFlow::applicationDidBecomeActive() {
    std::erase_if(superseded_, [](const HandOff& entry) {
        return !entry.handler || !entry.handler->isRunning();
    });
    if (handOff_.empty()) return;
    // A copy: entries leave the table during the walk.
    const auto entries = handOff_;
    for (const auto& [id, entry] : entries) {
        const bool running = entry.handler && entry.handler->isRunning();
        if (handedOffIsInstalled(entry, running)) {
            handOff_.erase(id);
            std::error_code ignored;
            std::filesystem::remove(entry.file, ignored);
            send_(bridge::successEvent(id, entry.item));
            if (boolMember(entry.item, "self") == true) {
                // The entries not reached yet go with the quitting process.
                reopen();
                return;
            }
        } else if (!running) {
            handOff_.erase(id);
            send_(bridge::failureEvent(id, "install", entry.reason.code, entry.reason.detail));
        }
    }
}

}  // namespace suite
