#include "hosts/gio/EarlyAnswer.h"

#include <utility>

#include "hosts/gio/GioNotifier.h"

namespace suite::gtk {

EarlyAnswer::EarlyAnswer(GApplication* app, std::function<void(const std::string&)> start)
    : app_(G_APPLICATION(g_object_ref(app))),
      action_(g_simple_action_new(kAnswerAction, G_VARIANT_TYPE_STRING)),
      start_(std::move(start)) {
    g_signal_connect(action_, "activate", G_CALLBACK(onAnswer), this);
    g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action_));
}

EarlyAnswer::~EarlyAnswer() {
    g_signal_handlers_disconnect_by_data(action_, this);
    // The notifier's own action may stand in its place by now; that one stays.
    if (g_action_map_lookup_action(G_ACTION_MAP(app_), kAnswerAction) == G_ACTION(action_)) {
        g_action_map_remove_action(G_ACTION_MAP(app_), kAnswerAction);
    }
    g_object_unref(action_);
    g_object_unref(app_);
}

void EarlyAnswer::onAnswer(GSimpleAction*, GVariant* parameter, gpointer self) {
    auto* early = static_cast<EarlyAnswer*>(self);
    if (parameter != nullptr && early->start_)
        early->start_(g_variant_get_string(parameter, nullptr));
}

}  // namespace suite::gtk
