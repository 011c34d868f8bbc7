#pragma once
// Starting at login on this desktop: an XDG autostart entry that starts the program with
// "--background", so that it runs without showing its window.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace suite {

// "com.brenlow.talven.suite.agent.plist" names the entry "com.brenlow.talven.suite.agent.desktop".
std::string autostartFileName(std::string_view agentPlist);

// The desktop entry that starts `executable` in the background. The path is quoted for the
// Exec key, so blanks, quotes, "$" and "%" in it reach the program unchanged, and GLib loads the
// entry whatever the path holds. Nothing for a path
// an entry cannot hold: a control character (a line break would start lines of its own in the
// entry) or bytes that are not UTF-8.
std::optional<std::string> autostartEntry(const std::string& executable);

// Whether the user switched the entry off in the desktop's startup settings, which mark it
// "Hidden=true" (GNOME's own switch: "X-GNOME-Autostart-enabled=false") rather than remove it.
bool autostartSwitchedOff(std::string_view entry);

// What to write over `current` so that it starts what `wanted` starts: nothing when it already
// does (whatever the user or the desktop added to it), else `wanted`, switched off still if
// `current` was.
std::optional<std::string> autostartReplacement(std::string_view current,
                                                const std::string& wanted);

// Writes the entry (creating the folder), or removes it. An empty result means success;
// otherwise it describes the failure.
std::string writeAutostartEntry(const std::filesystem::path& file, const std::string& content);
std::string removeAutostartEntry(const std::filesystem::path& file);

}  // namespace suite
