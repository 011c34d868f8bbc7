#include "notify/LoginItem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "common/Utf8.h"
#include "platform/Files.h"

namespace suite {

std::string autostartFileName(std::string_view agentPlist) {
    std::string_view base = agentPlist;
    if (base.ends_with(".plist")) base.remove_suffix(6);
    return std::string(base) + ".desktop";
}

namespace {

// An argument of the Exec key: inside double quotes, `"`, "`", "$" and "\" take a backslash;
// "%" is doubled (field codes). The value as a whole is a desktop-entry string, whose own
// escape doubles every backslash once more.
std::string execArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// The program as the Exec key's first word. GLib looks for that word, as written, before it
// takes an entry: a path with "%" (doubled there) would never be found, and the entry never
// loaded. Such a path goes behind env, which GLib does find; "%%" is a "%" again when it runs.
std::string execCommand(const std::string& executable) {
    const std::string argument = execArgument(executable);
    return executable.find('%') == std::string::npos ? argument : "env " + argument;
}

}  // namespace

std::optional<std::string> autostartEntry(const std::string& executable) {
    for (char c : executable) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    }
    if (!isValidUtf8(executable)) return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=TALVEN™ Suite\n"
           "Comment=Checks for updates of TALVEN apps and add-ins in the background\n"
           "Exec=" +
           execCommand(executable) +
           " --background\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

namespace {

// The value of `key` in the entry's main group; other groups (actions, translations of it) are
// not what the desktop reads for starting at login. Blanks around "=" are allowed there.
std::optional<std::string_view> mainGroupValue(std::string_view entry, std::string_view key) {
    constexpr std::string_view blanks = " \t";
    bool inMain = false;
    while (!entry.empty()) {
        const auto end = entry.find('\n');
        std::string_view line = entry.substr(0, end);
        entry.remove_prefix(end == std::string_view::npos ? entry.size() : end + 1);
        if (line.starts_with('[')) {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMain || equals == std::string_view::npos) continue;
        std::string_view name = line.substr(0, equals);
        name.remove_suffix(name.size() - (name.find_last_not_of(blanks) + 1));
        if (name != key) continue;
        std::string_view value = line.substr(equals + 1);
        value.remove_prefix(std::min(value.find_first_not_of(blanks), value.size()));
        value.remove_suffix(value.size() - (value.find_last_not_of(blanks) + 1));
        return value;
    }
    return std::nullopt;
}

}  // namespace

bool autostartSwitchedOff(std::string_view entry) {
    const auto hidden = mainGroupValue(entry, "Hidden");
    const auto enabled = mainGroupValue(entry, "X-GNOME-Autostart-enabled");
    return hidden == "true" || hidden == "1" || enabled == "false" || enabled == "0";
}

std::optional<std::string> autostartReplacement(std::string_view current,
                                                const std::string& wanted) {
    if (mainGroupValue(current, "Exec") == mainGroupValue(wanted, "Exec")) return std::nullopt;
    return autostartSwitchedOff(current) ? wanted + "Hidden=true\n" : wanted;
}

std::string writeAutostartEntry(const std::filesystem::path& file, const std::string& content) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) return error.message();
    if (!writeFileAtomically(file, content)) return "cannot write " + file.string();
    return {};
}

std::string removeAutostartEntry(const std::filesystem::path& file) {
    if (std::remove(file.c_str()) != 0) return file.string() + ": " + std::strerror(errno);
    return {};
}

}  // namespace suite
