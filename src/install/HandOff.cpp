#include <filesystem>

#include "app/AppDelegate.h"
#include "install/InstallResults.h"

namespace suite {

void AppDelegate::handOffPackage(const std::string& id, const Json& item,
                                 const std::filesystem::path& file) {
    handOff_.insert_or_assign(id, HandOff{item, file, nullptr});
    send(progressEvent(id, "installer"));
    auto handler = platform_.launcher.openWithDefaultHandler(file.string());
    if (auto entry = handOff_.find(id); entry != handOff_.end()) entry->second.handler = handler;
}

// Whether "the installer is still open" is asked of each entry's own handler, not of every
// installer window on the desktop: here each hand-off starts its own handler process, so a
// package whose window the user has closed is settled even while another package's is open.
void AppDelegate::applicationDidBecomeActive() {
    if (handOff_.empty()) return;
    // A copy: entries leave the table during the walk.
    const auto entries = handOff_;
    for (const auto& [id, entry] : entries) {
        const bool running = entry.handler && entry.handler->isRunning();
        // A product the installed check cannot judge counts as installed once its installer has
        // closed: the user saw the outcome there.
        const bool installed = isInstalled(entry.item).value_or(!running);
        if (installed) {
            handOff_.erase(id);
            std::error_code ignored;
            std::filesystem::remove(entry.file, ignored);
            send(successEvent(id, entry.item));
            if (boolMember(entry.item, "self") == true) {
                // The entries not reached yet go with the quitting process.
                reopen();
                return;
            }
        } else if (!running) {
            handOff_.erase(id);
            send(failureEvent(id, "install"));
        }
    }
}

}  // namespace suite
