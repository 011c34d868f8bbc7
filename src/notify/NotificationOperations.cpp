// The "notify" action and the user's answer to the notification.
#include "app/AppDelegate.h"
#include "bridge/Events.h"
#include "notify/UpdateNotification.h"

namespace suite {

void AppDelegate::notify(const Json& message) {
    // The user is looking at the page already.
    if (window_ && window_->isVisible() && window_->isActive()) return;
    // This desktop asks no permission for notifications, so there is no decision to wait for.
    platform_.notifier.show(kUpdateNotificationId, updateNotificationFor(message));
}

void AppDelegate::notificationAnswered(const std::string& action) {
    if (action == kLaterAction) {
        send(bridge::notifActionEvent(kLaterAction));
        return;
    }
    showWindow();
    // A click on the notification itself only brings the window forward.
    if (action == kUpdateAction) send(bridge::notifActionEvent(kUpdateAction));
}

}  // namespace suite
