#pragma once
// The one shell script that installs a batch of verified packages with administrator rights:
// old application bundles are quit and moved to the Trash under a dated name, each package goes
// through the system's installer, and each reports "OK:i" or "FAIL:i" on standard output.
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PackageSystem.h"
#include "platform/macos/InstallPaths.h"

namespace suite {

// `s` between single quotes, each single quote inside written as '\'' : safe for /bin/sh
// whatever `s` holds.
std::string shellQuote(std::string_view s);

// The run's time stamp in the user's time zone, "yyyy-MM-dd HH.mm.ss".
std::string installTimeStamp(std::time_t now);

// The file that receives the installer output of the package at `index` (0-based among the
// packages), inside the run's private output folder.
std::string packageOutputPath(const std::string& outputFolder, std::size_t index);

// The marker file that exists while the script runs: tempFolder + "/.talven-suite-installing".
std::string markerPath(const InstallPaths& paths);

// Commands that quit and move aside the application bundles an item's package replaces
// (only for "group" "app" items that are not "self").
std::vector<std::string> moveAsideCommands(const Json& item, const InstallPaths& paths,
                                           const std::string& stamp);

// The installer command of the package at `index`.
std::string installerCommand(std::size_t index, const std::string& packagePath,
                             const InstallPaths& paths, const std::string& outputFolder);

// The whole script for `packages` (already selected: every entry is a package).
std::string buildInstallScript(const std::vector<VerifiedPackage>& packages,
                               const InstallPaths& paths, const std::string& outputFolder,
                               const std::string& stamp);

// `text` escaped for an AppleScript string literal: backslashes doubled, then double quotes
// preceded by a backslash.
std::string appleScriptEscape(std::string_view text);

// The AppleScript that runs `script` with administrator rights after `prompt`, as a macOS host
// hands it to osascript.
std::string appleScriptSource(const std::string& script, const std::string& prompt);

}  // namespace suite
