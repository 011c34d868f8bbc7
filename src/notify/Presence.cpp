#include "notify/Presence.h"

#include "bridge/Events.h"
#include "notify/LoginItem.h"
#include "notify/UpdateNotification.h"
#include "platform/Files.h"

namespace suite {

namespace {

// The path itself stays out of the line: it would carry its control characters along.
constexpr const char* kUnwritableEntry =
    "no autostart entry: the program's path holds a control character or bytes that are not "
    "UTF-8";

}  // namespace

Presence::Presence(PresenceSettings settings, PresenceServices services, PresenceWindow window)
    : settings_(std::move(settings)), services_(services), window_(std::move(window)) {}

void Presence::notify(const Json& message) {
    if (window_.userIsLooking()) return;
    // This desktop asks no permission for notifications, so there is no decision to wait for.
    services_.notifier.show(kUpdateNotificationId, updateNotificationFor(message));
}

void Presence::notificationAnswered(const std::string& action) {
    if (action == kLaterAction) return window_.send(bridge::notifActionEvent(kLaterAction));
    window_.show();
    // A click on the notification itself only brings the window forward.
    if (action == kUpdateAction) window_.send(bridge::notifActionEvent(kUpdateAction));
}

void Presence::setLoginItem(bool on) {
    const auto& file = settings_.autostartFile;
    std::string failure;
    if (!on) {
        failure = removeAutostartEntry(file);
    } else if (auto entry = autostartEntry(settings_.ownExecutable)) {
        // The user's own choice on the page also switches on again an entry the desktop's
        // startup settings switched off.
        if (readWholeFile(file) != entry) failure = writeAutostartEntry(file, *entry);
    } else {
        failure = kUnwritableEntry;
    }
    logLoginItemFailure(failure);
}

bool Presence::keepLoginItem() {
    const auto& file = settings_.autostartFile;
    const auto current = readWholeFile(file);
    std::string failure = kUnwritableEntry;
    if (auto entry = autostartEntry(settings_.ownExecutable)) {
        auto replacement = current ? autostartReplacement(*current, *entry) : entry;
        failure = replacement ? writeAutostartEntry(file, *replacement) : "";
    }
    logLoginItemFailure(failure);
    return !current || !autostartSwitchedOff(*current);
}

void Presence::logLoginItemFailure(const std::string& failure) {
    if (!failure.empty()) services_.shell.logToSystem("login item: " + failure);
}

void Presence::openApp(const Json& detect) {
    if (auto entry = services_.packages.applicationToLaunch(detect)) {
        if (!services_.launcher.launchApplication(*entry)) {
            services_.shell.logToSystem("open: cannot start " + *entry);
        }
        return;
    }
    if (auto product = services_.packages.productToOpen(detect)) {
        services_.launcher.openWithDefaultHandler(*product);
    }
}

}  // namespace suite
