#pragma once
// Notifications through GIO's GNotification: the desktop's notification service shows them under
// the application's id, and the buttons come back as an action of the application.
#include <gio/gio.h>

#include <functional>
#include <string>

#include "platform/Notifier.h"

namespace suite::gtk {

// The application action every answer comes back as; its parameter says which one. The waiting
// program answers to it too.
inline constexpr const char* kAnswerAction = "notification-answer";

class GioNotifier final : public Notifier {
  public:
    // `iconName` is the themed icon shown with each notification (the desktop entry's icon).
    GioNotifier(GApplication* app, std::string iconName);
    ~GioNotifier() override;

    GioNotifier(const GioNotifier&) = delete;
    GioNotifier& operator=(const GioNotifier&) = delete;

    void show(const std::string& id, const Notification& notification) override;
    void setAnswerHandler(std::function<void(const std::string& action)> handler) override;

  private:
    static void onAnswer(GSimpleAction* action, GVariant* parameter, gpointer self);

    GApplication* app_;
    std::string iconName_;
    GSimpleAction* answerAction_;
    std::function<void(const std::string&)> handler_;
};

}  // namespace suite::gtk
