#pragma once
// The program's side of the root helper: one pkexec run of it per part of a batch (the helper
// takes a bounded number of packages), its records read as they come.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PackageSystem.h"

namespace suite::privileged {

struct HelperPaths {
    std::string pkexec = "/usr/bin/pkexec";
    std::string helper = {};  // the install helper's absolute path; empty: it was not found
    // The catalog document the program verified last and its signature, as it keeps them: what
    // the helper verifies each package against.
    std::string catalog = {};
    std::string signature = {};
};

// The installed helper beside `executable` (bin/../libexec/talven-suite/install-helper), or, in
// the build tree, beside it as talven-suite-install-helper; empty when there is neither.
std::string findInstallHelper(const std::filesystem::path& executable);
// The same program under its restore name (restore-helper, talven-suite-restore-helper), whose
// polkit action always asks for an administrator.
std::string findRestoreHelper(const std::filesystem::path& executable);

// Installs `packages` through the helper. A package whose item names no catalog product is
// Unvouched without a run; without a kept catalog for the helper to verify against, nothing is
// asked for. `progress` hears each package's steps and result while the run goes on.
BatchOutcome installThroughHelper(const HelperPaths& paths,
                                  const std::vector<VerifiedPackage>& packages,
                                  const BatchProgress& progress);

}  // namespace suite::privileged
