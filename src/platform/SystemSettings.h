#pragma once
// What the desktop says about the user's preferences: languages, appearance, motion.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace suite {

class SystemSettings {
  public:
    virtual ~SystemSettings() = default;

    // The user's preferred languages as language tags ("ar-EG", "en"), most preferred first.
    virtual std::vector<std::string> preferredLanguages() const = 0;
    virtual bool isDark() const = 0;
    virtual bool reduceMotion() const = 0;

    // `onChange` runs on the main thread whenever the appearance changes.
    virtual void observeAppearance(std::function<void()> onChange) = 0;
    // `onChange` runs on the main thread whenever the accessibility display options change.
    virtual void observeAccessibility(std::function<void()> onChange) = 0;
};

// The desktop's appearance from the freedesktop settings portal's "color-scheme" (0: no
// preference, 1: prefer dark, 2: prefer light), where the desktop has one; the toolkit's own
// dark flag decides without an answer or a preference, and for values not known yet.
inline bool darkFromColorScheme(std::optional<std::uint32_t> colorScheme, bool toolkitDark) {
    if (colorScheme == 1u) return true;
    if (colorScheme == 2u) return false;
    return toolkitDark;
}

class Environment {
  public:
    virtual ~Environment() = default;
    virtual std::optional<std::string> get(const std::string& name) const = 0;
};

}  // namespace suite
