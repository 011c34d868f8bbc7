// The "setLoginItem" and "open" actions.
#include "app/AppDelegate.h"
#include "notify/LoginItem.h"

namespace suite {

void AppDelegate::setLoginItem(bool on) {
    const auto file = launch_.autostartDir / autostartFileName(launch_.agentPlist);
    std::string failure = on ? writeAutostartEntry(file, autostartEntry(config_.ownExecutable))
                             : removeAutostartEntry(file);
    // The page keeps the user's choice either way; a failure is only worth a line in the log.
    if (!failure.empty()) platform_.shell.logToSystem("login item: " + failure);
}

void AppDelegate::openApp(const Json& detect) {
    for (const auto& name : stringListMember(detect, "apps")) {
        if (auto path = Detect::appPath(name, config_.detectPaths)) {
            platform_.launcher.openWithDefaultHandler(*path);
            return;
        }
    }
}

}  // namespace suite
