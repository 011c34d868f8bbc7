#include "notify/UpdateNotification.h"

namespace suite {

namespace {

std::string stringOr(const Json& message, const char* key, const char* fallback) {
    if (message.is_object()) {
        auto member = message.find(key);
        if (member != message.end() && member->is_string()) return member->get<std::string>();
    }
    return fallback;
}

}  // namespace

Notification updateNotificationFor(const Json& message) {
    Notification notification;
    notification.title = stringOr(message, "title", "TALVEN™ Suite");
    notification.body = stringOr(message, "body", "");
    // A notice of what was done has nothing to answer; a click on it still shows the window.
    if (boolMember(message, "buttons") == false) return notification;
    notification.buttons = {{kUpdateAction, stringOr(message, "update", "Update")},
                            {kLaterAction, stringOr(message, "later", "Later")}};
    return notification;
}

}  // namespace suite
