#pragma once
// The decisions around one privileged install run, apart from the delegate that acts on them:
// which input pairs are packages, the events the page receives, whether a package succeeded, the
// lines the install log keeps, and what a relaunch after a self-update starts.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/Detect.h"
#include "common/Json.h"
#include "download/VerifiedPackage.h"

namespace suite {

// The bundle file name this program is installed under.
inline constexpr const char* kOwnBundleName = "TALVEN Suite.app";

// Whether `file` is an installer package: its extension is "pkg" in any case.
bool isPackageFile(const std::filesystem::path& file);

// The item's "id", or the empty string when it has none.
std::string itemId(const Json& item);

struct PackageSelection {
    // The pairs that are packages, in input order; their positions are the run's indexes.
    std::vector<VerifiedPackage> packages;
    // The ids ("" for none) of the input pairs whose id no package carries, in input order:
    // each of them fails before the run.
    std::vector<std::string> withoutPackage;
};
PackageSelection selectPackages(const std::vector<VerifiedPackage>& input);

// {"type": "progress", "id", "phase", "pct": 100}
Json progressEvent(const std::string& id, const std::string& phase);
// {"type": "result", "id", "ok": true, "version": the item's "version" as it is, or ""}
Json successEvent(const std::string& id, const Json& item);
// {"type": "result", "id", "ok": false, "error"}
Json failureEvent(const std::string& id, const std::string& error);

// The installed check decides when it has an answer; otherwise only an "OK:<index>" line counts.
// A "FAIL:" line is never needed: a missing "OK:" line is the failure.
bool packageSucceeded(std::optional<bool> installed, const std::set<std::string>& outputLines,
                      std::size_t index);

// "installer: out=<quoted output> err=<quoted error>"
std::string runLogLine(std::string_view output, std::string_view error);
// "package <index>: <text>", its line feeds written as " | " to keep the entry on one line.
std::string packageLogLine(std::size_t index, std::string_view text);

// The shell script that waits until process `pid` has gone, then executes its $0. The program is
// passed as $0 and never written into the script text, so no path can change what the script
// does.
std::string relaunchScript(long pid);

// What a relaunch starts: the installed bundle when it is an executable file, otherwise the
// running program's own executable; nothing when neither can be executed. Always absolute, so
// the shell never looks the name up in PATH.
std::optional<std::string> relaunchProgram(const DetectPaths& paths,
                                           const std::filesystem::path& ownExecutable);

}  // namespace suite
