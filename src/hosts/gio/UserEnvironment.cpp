#include "hosts/gio/UserEnvironment.h"

#include <glib.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdlib>

namespace suite::gtk {

std::optional<std::string> ProcessEnvironment::get(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

UserFolders xdgUserFolders() {
    return UserFolders{g_get_user_config_dir(), g_get_user_cache_dir(), g_get_user_state_dir()};
}

namespace {

std::optional<std::string> languageTag(std::string name) {
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return std::nullopt;
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

}  // namespace

std::vector<std::string> preferredLanguagesFrom(const Environment& env) {
    std::string value;
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        auto found = env.get(variable);
        if (found && !found->empty()) {
            value = *found;
            break;
        }
    }
    std::vector<std::string> languages;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(':', start);
        if (end == std::string::npos) end = value.size();
        if (auto tag = languageTag(value.substr(start, end - start))) {
            if (std::find(languages.begin(), languages.end(), *tag) == languages.end()) {
                languages.push_back(*tag);
            }
        }
        start = end + 1;
    }
    return languages;
}

std::string deviceDescription() {
    struct utsname name {};
    if (::uname(&name) != 0) return "Linux";
    return std::string("Linux ") + name.release + ", " + name.machine;
}

}  // namespace suite::gtk
