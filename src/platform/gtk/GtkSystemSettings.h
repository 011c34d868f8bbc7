#pragma once
// Appearance and motion preferences from GtkSettings, languages from the environment.
#include <gtk/gtk.h>

#include <functional>
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
    static void notifyAppearance(GObject*, GParamSpec*, gpointer self);
    static void notifyAccessibility(GObject*, GParamSpec*, gpointer self);

    const Environment& env_;
    GtkSettings* settings_;
    std::vector<gulong> handlers_;
    std::vector<std::function<void()>> appearanceObservers_;
    std::vector<std::function<void()>> accessibilityObservers_;
};

}  // namespace suite::gtk
