#include "notify/LoginItem.h"

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
