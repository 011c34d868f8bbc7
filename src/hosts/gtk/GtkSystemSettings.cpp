#include "hosts/gtk/GtkSystemSettings.h"

#include <string>

#include "hosts/gio/UserEnvironment.h"

namespace suite::gtk {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearance = "org.freedesktop.appearance";
constexpr const char* kColorScheme = "color-scheme";

}  // namespace

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

    // The portal answers later; until then, and without a session bus or a portal, GTK's own
    // settings stand.
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus_ == nullptr) return;
    portalCalls_ = g_cancellable_new();
    portalSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, kPortal, kSettingsInterface, "SettingChanged", kPortalPath, kAppearance,
        G_DBUS_SIGNAL_FLAGS_NONE, onPortalChange, this, nullptr);
    askPortal("ReadOne");
}

GtkSystemSettings::~GtkSystemSettings() {
    for (gulong handler : handlers_) g_signal_handler_disconnect(settings_, handler);
    if (bus_ == nullptr) return;
    g_cancellable_cancel(portalCalls_);
    g_object_unref(portalCalls_);
    g_dbus_connection_signal_unsubscribe(bus_, portalSubscription_);
    g_object_unref(bus_);
}

void GtkSystemSettings::askPortal(const char* method) {
    g_dbus_connection_call(bus_, kPortal, kPortalPath, kSettingsInterface, method,
                           g_variant_new("(ss)", kAppearance, kColorScheme), G_VARIANT_TYPE("(v)"),
                           G_DBUS_CALL_FLAGS_NONE, 5000, portalCalls_, onPortalAnswer, this);
}

void GtkSystemSettings::onPortalAnswer(GObject* bus, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (reply == nullptr) {
        // Cancelled: the object is gone. A portal older than ReadOne still has Read.
        const bool gone = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        const bool older = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD);
        g_error_free(error);
        if (!gone && older) static_cast<GtkSystemSettings*>(data)->askPortal("Read");
        return;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    static_cast<GtkSystemSettings*>(data)->setColorScheme(value);
    g_variant_unref(value);
    g_variant_unref(reply);
}

void GtkSystemSettings::onPortalChange(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                       const gchar*, GVariant* parameters, gpointer data) {
    const gchar* space = nullptr;
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
    g_variant_get(parameters, "(&s&sv)", &space, &key, &value);
    if (g_strcmp0(space, kAppearance) == 0 && g_strcmp0(key, kColorScheme) == 0) {
        static_cast<GtkSystemSettings*>(data)->setColorScheme(value);
    }
    g_variant_unref(value);
}

void GtkSystemSettings::setColorScheme(GVariant* value) {
    // "Read" wraps the value in one more variant than "ReadOne" does.
    GVariant* inner = g_variant_ref(value);
    while (g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT)) {
        GVariant* next = g_variant_get_variant(inner);
        g_variant_unref(inner);
        inner = next;
    }
    std::optional<std::uint32_t> scheme;
    if (g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32)) scheme = g_variant_get_uint32(inner);
    g_variant_unref(inner);
    const bool before = isDark();
    colorScheme_ = scheme;
    if (isDark() != before) notifyAppearance(nullptr, nullptr, this);
}

std::vector<std::string> GtkSystemSettings::preferredLanguages() const {
    return preferredLanguagesFrom(env_);
}

bool GtkSystemSettings::isDark() const {
    if (settings_ == nullptr) return darkFromColorScheme(colorScheme_, false);
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
    return darkFromColorScheme(colorScheme_, preferDark || darkTheme);
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
