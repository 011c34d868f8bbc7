#include "platform/gtk/GtkSystemSettings.h"

#include <string>

#include "platform/gtk/UserEnvironment.h"

namespace suite::gtk {

GtkSystemSettings::GtkSystemSettings(const Environment& env)
    : env_(env), settings_(gtk_settings_get_default()) {
    if (settings_ == nullptr) return;
    for (const char* signal :
         {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name"}) {
        handlers_.push_back(
            g_signal_connect(settings_, signal, G_CALLBACK(notifyAppearance), this));
    }
    handlers_.push_back(g_signal_connect(settings_, "notify::gtk-enable-animations",
                                         G_CALLBACK(notifyAccessibility), this));
}

GtkSystemSettings::~GtkSystemSettings() {
    for (gulong handler : handlers_) g_signal_handler_disconnect(settings_, handler);
}

std::vector<std::string> GtkSystemSettings::preferredLanguages() const {
    return preferredLanguagesFrom(env_);
}

bool GtkSystemSettings::isDark() const {
    if (settings_ == nullptr) return false;
    gboolean preferDark = FALSE;
    gchar* theme = nullptr;
    g_object_get(settings_, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name",
                 &theme, nullptr);
    // Themes without a dark preference flag name their dark variant, e.g. "Adwaita-dark".
    bool darkTheme = false;
    if (theme != nullptr) {
        gchar* lower = g_ascii_strdown(theme, -1);
        darkTheme = g_str_has_suffix(lower, "-dark") || g_str_has_suffix(lower, ":dark");
        g_free(lower);
        g_free(theme);
    }
    return preferDark || darkTheme;
}

bool GtkSystemSettings::reduceMotion() const {
    if (settings_ == nullptr) return false;
    gboolean animations = TRUE;
    g_object_get(settings_, "gtk-enable-animations", &animations, nullptr);
    return !animations;
}

void GtkSystemSettings::observeAppearance(std::function<void()> onChange) {
    appearanceObservers_.push_back(std::move(onChange));
}

void GtkSystemSettings::observeAccessibility(std::function<void()> onChange) {
    accessibilityObservers_.push_back(std::move(onChange));
}

void GtkSystemSettings::notifyAppearance(GObject*, GParamSpec*, gpointer self) {
    for (auto& observer : static_cast<GtkSystemSettings*>(self)->appearanceObservers_) observer();
}

void GtkSystemSettings::notifyAccessibility(GObject*, GParamSpec*, gpointer self) {
    for (auto& observer : static_cast<GtkSystemSettings*>(self)->accessibilityObservers_) {
        observer();
    }
}

}  // namespace suite::gtk
