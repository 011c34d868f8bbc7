#pragma once
// What this computer installs, and through which of the program's helpers: the package system of
// its own family where its tools are there, and nothing elsewhere.
#include <filesystem>
#include <memory>

#include "platform/PackageSystem.h"

namespace suite::gtk {

// The running program's own file ("" when it cannot be read).
std::filesystem::path executablePath();

// The package system for this computer: its helpers are found beside `executable` or where it is
// installed; `stateDir` is where the program keeps the catalog it verified, which the helper
// verifies again.
std::unique_ptr<PackageSystem> packageSystemForThisHost(const std::filesystem::path& executable,
                                                        const std::filesystem::path& stateDir);

}  // namespace suite::gtk
