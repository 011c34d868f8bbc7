#pragma once
// The one shell script that installs a batch of verified packages with administrator rights.
// Root first copies each package into a folder of its own and checks the copy's digest against
// the catalog's (the download sat where the user can write, between the program's own check and
// now); only then are the old application bundles the package replaces quit and moved to the
// Trash under a dated name, and the copy goes through the system's installer. Everything is
// reported on standard output as the records of InstallerRecords.h: root writes no file the user
// could have planted a link at.
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "backends/macos/InstallPaths.h"
#include "platform/PackageSystem.h"

namespace suite {

// `s` between single quotes, each single quote inside written as '\'' : safe for /bin/sh
// whatever `s` holds.
std::string shellQuote(std::string_view s);

// The run's time stamp in the user's time zone, "yyyy-MM-dd HH.mm.ss".
std::string installTimeStamp(std::time_t now);

// The marker file that exists while the script runs: tempFolder + "/.talven-suite-installing".
std::string markerPath(const InstallPaths& paths);

// Commands that quit and move aside the application bundles an item's package replaces
// (only for "group" "app" items that are not "self").
std::vector<std::string> moveAsideCommands(const InstallItem& item, const InstallPaths& paths,
                                           const std::string& stamp);

// `name` as a pattern that pkill's -x matches against exactly that process name and no other:
// every character that extended regular expressions give a meaning is escaped.
std::string exactProcessPattern(std::string_view name);

// The commands of the package at `index`: copy into the run's own folder ($work), check, move
// aside, install, report.
std::string packageCommand(std::size_t index, const VerifiedPackage& package,
                           const InstallPaths& paths, const std::string& stamp);

// The whole script for `packages` (already selected: every entry is a package).
std::string buildInstallScript(const std::vector<VerifiedPackage>& packages,
                               const InstallPaths& paths, const std::string& stamp);

// `text` escaped for an AppleScript string literal: backslashes doubled, then double quotes
// preceded by a backslash.
std::string appleScriptEscape(std::string_view text);

// The AppleScript that runs `script` with administrator rights after `prompt`, as a macOS host
// hands it to osascript.
std::string appleScriptSource(const std::string& script, const std::string& prompt);

}  // namespace suite
