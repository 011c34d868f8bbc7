#include "platform/gtk/GioNotifier.h"

namespace suite::gtk {

namespace {

constexpr const char* kDetailedAnswerAction = "app.notification-answer";

}  // namespace

GioNotifier::GioNotifier(GApplication* app, std::string iconName)
    : app_(app), iconName_(std::move(iconName)) {
    answerAction_ = g_simple_action_new(kAnswerAction, G_VARIANT_TYPE_STRING);
    g_signal_connect(answerAction_, "activate", G_CALLBACK(onAnswer), this);
    g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(answerAction_));
}

GioNotifier::~GioNotifier() {
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
    g_application_send_notification(app_, id.c_str(), shown);
    g_object_unref(shown);
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
