#pragma once
// Appearance from the desktop's settings portal (GNOME's "Dark style" and its peers), else from
// GtkSettings; motion from GtkSettings, languages from the environment.
#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/SystemSettings.h"

namespace suite::gtk {

class GtkSystemSettings final : public SystemSettings {
  public:
    explicit GtkSystemSettings(const Environment& env);
    ~GtkSystemSettings() override;

    std::vector<std::string> preferredLanguages() const override;
    bool isDark() const override;
    bool reduceMotion() const override;
    void observeAppearance(std::function<void()> onChange) override;
    void observeAccessibility(std::function<void()> onChange) override;

  private:
    void askPortal(const char* method);
    void setColorScheme(GVariant* value);
    static void onPortalAnswer(GObject* bus, GAsyncResult* result, gpointer self);
    static void onPortalChange(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar*, GVariant* parameters, gpointer self);
    static void notifyAppearance(GObject*, GParamSpec*, gpointer self);
    static void notifyAccessibility(GObject*, GParamSpec*, gpointer self);

    const Environment& env_;
    GtkSettings* settings_;
    std::vector<gulong> handlers_;
    std::vector<std::function<void()>> appearanceObservers_;
    std::vector<std::function<void()>> accessibilityObservers_;
    GDBusConnection* bus_ = nullptr;
    guint portalSubscription_ = 0;
    GCancellable* portalCalls_ = nullptr;       // cancelled with this object
    std::optional<std::uint32_t> colorScheme_;  // until the portal answers: none
};

}  // namespace suite::gtk
