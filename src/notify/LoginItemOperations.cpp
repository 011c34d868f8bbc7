// The "setLoginItem" and "open" actions.
#include "app/AppDelegate.h"
#include "platform/Files.h"
#include "notify/LoginItem.h"

namespace suite {

void AppDelegate::setLoginItem(bool on) {
    const auto file = launch_.autostartDir / autostartFileName(launch_.agentPlist);
    std::string failure;
    if (!on) {
        failure = removeAutostartEntry(file);
    } else if (auto entry = autostartEntry(config_.ownExecutable)) {
        // Every start asks for it again: an entry that is already right is left as it is.
        if (readWholeFile(file) != entry) failure = writeAutostartEntry(file, *entry);
    } else {
        // The path itself stays out of the line: it would carry its control characters along.
        failure = "no autostart entry: the program's path holds a control character or bytes "
                  "that are not UTF-8";
    }
    // The page keeps the user's choice either way; a failure is only worth a line in the log.
    if (!failure.empty()) platform_.shell.logToSystem("login item: " + failure);
}

void AppDelegate::openApp(const Json& detect) {
    if (auto entry = platform_.packages.applicationToLaunch(detect)) {
        if (!platform_.launcher.launchApplication(*entry)) {
            platform_.shell.logToSystem("open: cannot start " + *entry);
        }
        return;
    }
    if (auto product = platform_.packages.productToOpen(detect)) {
        platform_.launcher.openWithDefaultHandler(*product);
    }
}

}  // namespace suite
