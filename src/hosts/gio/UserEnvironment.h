#pragma once
// The user's folders and languages as this desktop defines them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/LaunchValues.h"
#include "platform/SystemSettings.h"

namespace suite::gtk {

// The process environment.
class ProcessEnvironment final : public Environment {
  public:
    std::optional<std::string> get(const std::string& name) const override;
};

// "Linux <kernel release>, <machine>" (from uname), as the feedback record's "os".
std::string deviceDescription();

// XDG config, cache and state homes.
UserFolders xdgUserFolders();

// Preferred languages as language tags, from the variables GLib consults: the first non-empty of
// LANGUAGE (a colon-separated list), LC_ALL, LC_MESSAGES and LANG. "ar_EG.UTF-8" becomes "ar-EG";
// the "C" and "POSIX" locales name no language.
std::vector<std::string> preferredLanguagesFrom(const Environment& env);

}  // namespace suite::gtk
