#pragma once
// The install log: one time-stamped line per entry, appended, never rewritten.
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PackageSystem.h"

namespace suite {

inline constexpr const char* kInstallLogName = "install.log";

// ISO 8601 in UTC with whole seconds: 2026-12-05T07:30:12Z.
std::string logTimeStamp(std::time_t now);

// Appends "<time stamp> <message>\n" to `folder`/install.log, creating the folder and the file
// as needed; a link in the place of either is not followed. Every failure is swallowed.
void appendInstallLog(const std::filesystem::path& folder, const std::string& message,
                      std::time_t now);

// `text` between double quotes with backslash escapes for quotes, backslash, \n, \r, \t, \0 and
// other control characters as \u{hex}.
std::string quotedForLog(std::string_view text);

// The lines of `text`, split at every line break (including the Unicode line and paragraph
// separators), each trimmed of white space.
std::set<std::string> outputLines(std::string_view text);

// The install log's lines for a batch's privileged runs and what each package printed, in order.
std::vector<std::string> batchLogLines(const BatchOutcome& outcome);

// "installer: out=<quoted output> err=<quoted error>": what the privileged run printed.
std::string runLogLine(std::string_view output, std::string_view error);
// "package <index>: <text>", its line feeds written as " | " to keep the entry on one line.
std::string packageLogLine(std::size_t index, std::string_view text);
// The line for what installing package `index` printed (lines each ending in a line feed), or
// nothing when it printed nothing or text that is not UTF-8.
std::optional<std::string> packageOutputLogLine(std::size_t index, std::string_view output);

}  // namespace suite
