#pragma once
// The decisions around one install batch, apart from the flow that acts on them: which input
// pairs are packages and in which order they install, the events the page receives, and what a
// relaunch after a self-update starts.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"
#include "platform/PackageSystem.h"

namespace suite {

struct PackageSelection {
    // The pairs that are packages, in input order except that this program's own package comes
    // last: installing it ends in a relaunch, which must not cut the batch short. Their
    // positions are the run's indexes.
    std::vector<VerifiedPackage> packages;
    // The ids of the input pairs whose id no package carries, in input order: each of them
    // fails before the run.
    std::vector<std::string> withoutPackage;
};
PackageSelection selectPackages(const std::vector<VerifiedPackage>& input,
                                const PackageSystem& system);

// The text of the request for administrator rights, where the host lets the program choose it.
std::string installPrompt(bool arabic);

// What a relaunch starts: the host's installed program when it is an executable file, otherwise
// the running program's own executable; nothing when neither can be executed. Always absolute,
// so the shell never looks the name up in PATH.
std::optional<std::string> relaunchProgram(const std::optional<std::string>& installedProgram,
                                           const std::filesystem::path& ownExecutable);

}  // namespace suite
