#pragma once
// The desktop's notifications: one notification per id (a new one replaces the one still shown
// under the same id), with buttons, and the user's answer coming back to the program.
#include <functional>
#include <string>
#include <vector>

namespace suite {

struct NotificationButton {
    std::string action;  // reported back when the button is chosen
    std::string title;
};

struct Notification {
    std::string title;
    std::string body;
    std::vector<NotificationButton> buttons;
};

// The action reported when the user clicks the notification itself rather than a button.
inline constexpr const char* kNotificationClicked = "";

class Notifier {
  public:
    virtual ~Notifier() = default;
    // Shows `notification` under `id`. Nothing happens, and nothing fails, where the desktop has
    // no notification service.
    virtual void show(const std::string& id, const Notification& notification) = 0;
    // Where the user's answers go (on the main thread): a button's action, or
    // `kNotificationClicked`.
    virtual void setAnswerHandler(std::function<void(const std::string& action)> handler) = 0;
};

}  // namespace suite
