#pragma once
// Which version of a product is on this machine: read from the information property list of an
// application bundle in the application folders, or from the system's package receipts. Nothing
// is cached, so every answer reflects the disk at that moment. Every function is callable from
// any thread and may block (a receipt query runs the package utility and waits for it).
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite {

// Where detection looks; the real locations come from Detect::defaultPaths(), tests pass their own.
struct DetectPaths {
    std::vector<std::string> appDirs;  // searched in this order; the first match wins
    std::string pkgutil = "/usr/sbin/pkgutil";
    // A package utility that hangs must not hold up a scan, or the main thread during an
    // installed check, for ever.
    double receiptTimeoutSeconds = 30;
};

namespace Detect {

// "/Applications", then the user's own Applications folder; built on first use.
const DetectPaths& defaultPaths();
const std::vector<std::string>& appDirs();

// The version of the first bundle called `name` whose property list has a string
// "CFBundleShortVersionString" or, failing that, "CFBundleVersion". An empty string counts.
std::optional<std::string> bundleVersion(const std::string& name,
                                         const DetectPaths& paths = defaultPaths());

// The first existing path (file or folder) called `name` in the application folders.
std::optional<std::string> appPath(const std::string& name,
                                   const DetectPaths& paths = defaultPaths());

// The "pkg-version" of the installed package `identifier`, as the package utility reports it.
std::optional<std::string> receiptVersion(const std::string& identifier,
                                          const DetectPaths& paths = defaultPaths());

// The installed version for an item's "detect" object: the first bundle of its "apps" that
// answers, or, only when there are no apps, the first of its "receipts" that answers. `group`
// does not change the answer.
std::optional<std::string> version(const std::string& group, const Json& detect,
                                   const DetectPaths& paths = defaultPaths());

}  // namespace Detect

}  // namespace suite
