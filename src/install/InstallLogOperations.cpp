// The install log, opened for the user who wants to know why an item failed.
#include <system_error>

#include "app/AppDelegate.h"
#include "install/InstallLog.h"

namespace suite {

void AppDelegate::openInstallLog() {
    const auto path = launch_.logDir / kInstallLogName;
    // Only the file the log writer made: a link in its place could hand any file to a program.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) return;
    platform_.launcher.openWithDefaultHandler(path.string());
}

}  // namespace suite
