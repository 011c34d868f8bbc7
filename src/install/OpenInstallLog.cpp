// The install log, opened for the user who wants to know why an item failed.
#include <system_error>

#include "install/InstallFlow.h"
#include "install/InstallLog.h"

namespace suite {

void InstallFlow::openLog() const {
    const auto path = settings_.logDir / kInstallLogName;
    // Only the file the log writer made: a link in its place could hand any file to a program.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) return;
    services_.launcher.openWithDefaultHandler(path.string());
}

}  // namespace suite
