#pragma once
// The "updates available" notification the page asks for with "notify".
#include <string>

#include "common/Json.h"
#include "platform/Notifier.h"

namespace suite {

// Every notification uses this id, so a new one replaces the one still shown.
inline constexpr const char* kUpdateNotificationId = "suite-update";
inline constexpr const char* kUpdateAction = "update";
inline constexpr const char* kLaterAction = "later";

// The notification described by a "notify" message; members that are missing or not strings
// fall back to the program's name, an empty body and the buttons "Update" and "Later". With
// "buttons": false it has none.
Notification updateNotificationFor(const Json& message);

}  // namespace suite
