#pragma once
// The program on the desktop beyond its window: update notifications and the user's answer to
// them, the entry that starts it at login, and opening installed products. Main thread only.
#include <filesystem>
#include <functional>
#include <string>

#include "common/Json.h"
#include "platform/Launcher.h"
#include "platform/Notifier.h"
#include "platform/PackageSystem.h"
#include "platform/Shell.h"

namespace suite {

struct PresenceSettings {
    std::filesystem::path autostartFile;  // the login entry, written or removed
    std::filesystem::path ownExecutable;  // what the login entry starts
};

struct PresenceServices {
    Notifier& notifier;
    Shell& shell;  // for the system log
    Launcher& launcher;
    PackageSystem& packages;
};

// What the presence asks of the window it belongs to.
struct PresenceWindow {
    std::function<bool()> userIsLooking;  // the window is shown and active
    std::function<void()> show;
    std::function<void(const Json&)> send;  // an event for the page
};

class Presence {
  public:
    Presence(PresenceSettings settings, PresenceServices services, PresenceWindow window);

    // Raises the update notification the page asked for, unless the user is looking at the page.
    void notify(const Json& message);
    // The user's answer: "update", "later", or a click on the notification itself.
    void notificationAnswered(const std::string& action);
    // Writes or removes the login entry; a failure is only logged (the page keeps the choice).
    void setLoginItem(bool on);
    // At start, while the setting is on: points the entry at this program again if it has moved,
    // and otherwise leaves it as it is. Whether it still starts the program at login, which it
    // does not once the user switched it off in the desktop's startup settings.
    bool keepLoginItem();
    // Starts the installed product the page's detection rules name.
    void openApp(const Json& detect);

  private:
    void logLoginItemFailure(const std::string& failure);

    const PresenceSettings settings_;
    PresenceServices services_;
    PresenceWindow window_;
};

}  // namespace suite
