#include "hosts/gio/GioNotifier.h"

#include <utility>

namespace suite::gtk {

namespace {

constexpr const char* kDetailedAnswerAction = "app.notification-answer";
constexpr const char* kFreedesktopService = "org.freedesktop.Notifications";
constexpr const char* kFreedesktopPath = "/org/freedesktop/Notifications";

}  // namespace

GioNotifier::GioNotifier(GApplication* app, std::string iconName)
    : app_(app), iconName_(std::move(iconName)) {
    answerAction_ = g_simple_action_new(kAnswerAction, G_VARIANT_TYPE_STRING);
    g_signal_connect(answerAction_, "activate", G_CALLBACK(onAnswer), this);
    g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(answerAction_));
}

GioNotifier::~GioNotifier() {
    if (freedesktopSignals_ != 0)
        g_dbus_connection_signal_unsubscribe(subscribedOn_, freedesktopSignals_);
    g_signal_handlers_disconnect_by_data(answerAction_, this);
    g_action_map_remove_action(G_ACTION_MAP(app_), kAnswerAction);
    g_object_unref(answerAction_);
}

void GioNotifier::show(const std::string& id, const Notification& notification) {
    // GIO can only send notifications for an application that holds its name on the session
    // bus; without one there is nothing to show them with.
    if (!g_application_get_is_registered(app_) || g_application_get_is_remote(app_)) return;
    GNotification* shown = g_notification_new(notification.title.c_str());
    g_notification_set_body(shown, notification.body.c_str());
    if (!iconName_.empty()) {
        GIcon* icon = g_themed_icon_new(iconName_.c_str());
        g_notification_set_icon(shown, icon);
        g_object_unref(icon);
    }
    g_notification_set_default_action_and_target(shown, kDetailedAnswerAction, "s",
                                                 kNotificationClicked);
    for (const auto& button : notification.buttons) {
        g_notification_add_button_with_target(shown, button.title.c_str(), kDetailedAnswerAction,
                                              "s", button.action.c_str());
    }
    GDBusConnection* bus = g_application_get_dbus_connection(app_);
    if (bus != nullptr && goesToTheFreedesktopService(bus)) {
        if (freedesktopSignals_ == 0) {
            subscribedOn_ = bus;
            freedesktopSignals_ = g_dbus_connection_signal_subscribe(
                bus, kFreedesktopService, kFreedesktopService, nullptr, kFreedesktopPath, nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE, onFreedesktopSignal, this, nullptr);
        }
        answerOnlyHere_ = true;
    }
    g_application_send_notification(app_, id.c_str(), shown);
    g_object_unref(shown);
}

// GIO's own choice: the portal inside a sandbox (or when asked to use it), GNOME's service
// when its name is on the bus, the freedesktop service otherwise.
bool GioNotifier::goesToTheFreedesktopService(GDBusConnection* bus) const {
    if (g_file_test("/.flatpak-info", G_FILE_TEST_EXISTS) || g_getenv("SNAP") != nullptr ||
        g_strcmp0(g_getenv("GTK_USE_PORTAL"), "1") == 0) {
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.gtk.Notifications"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    gboolean gnome = FALSE;
    if (reply != nullptr) {
        g_variant_get(reply, "(b)", &gnome);
        g_variant_unref(reply);
    }
    return !gnome;
}

// The service tells the connection that showed a notification when it was answered or closed,
// and this program shows one notification at a time. A service that tells every connection about
// every notification could end the wait on another program's notification; the answer to this
// one would then be lost, as it was before the wait.
void GioNotifier::onFreedesktopSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                      const gchar* signal, GVariant*, gpointer self) {
    auto* notifier = static_cast<GioNotifier*>(self);
    if (g_strcmp0(signal, "NotificationClosed") != 0 && g_strcmp0(signal, "ActionInvoked") != 0) {
        return;
    }
    if (!std::exchange(notifier->answerOnlyHere_, false)) return;
    if (notifier->onAnswerElsewhere_) notifier->onAnswerElsewhere_();
}

void GioNotifier::setAnswerHandler(std::function<void(const std::string&)> handler) {
    handler_ = std::move(handler);
}

void GioNotifier::onAnswer(GSimpleAction*, GVariant* parameter, gpointer self) {
    auto* notifier = static_cast<GioNotifier*>(self);
    if (!notifier->handler_ || parameter == nullptr) return;
    notifier->handler_(g_variant_get_string(parameter, nullptr));
}

}  // namespace suite::gtk
