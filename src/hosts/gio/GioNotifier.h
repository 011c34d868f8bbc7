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

    // Whether a notification is up whose answer only this process can hear. GIO hands a
    // notification to the desktop's own service (GNOME's, or the portal's), which starts or wakes
    // the application by its id to deliver the answer; only where it falls back to the
    // freedesktop service does it listen for the answer itself, on this process's connection.
    // Such a notification is up until the service says it was answered or closed.
    bool answerComesOnlyHere() const { return answerOnlyHere_; }
    // Called when that stops being so.
    void whenAnswerCanComeElsewhere(std::function<void()> then) {
        onAnswerElsewhere_ = std::move(then);
    }

  private:
    static void onAnswer(GSimpleAction* action, GVariant* parameter, gpointer self);
    static void onFreedesktopSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar* signal, GVariant*, gpointer self);
    bool goesToTheFreedesktopService(GDBusConnection* bus) const;

    GApplication* app_;
    std::string iconName_;
    GSimpleAction* answerAction_;
    std::function<void(const std::string&)> handler_;
    bool answerOnlyHere_ = false;
    guint freedesktopSignals_ = 0;
    GDBusConnection* subscribedOn_ = nullptr;
    std::function<void()> onAnswerElsewhere_;
};

}  // namespace suite::gtk
