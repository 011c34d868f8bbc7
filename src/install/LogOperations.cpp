#include <ctime>

#include "app/AppDelegate.h"
#include "install/InstallLog.h"

namespace suite {

void AppDelegate::log(const std::string& message) const {
    appendInstallLog(launch_.logDir, message, std::time(nullptr));
}

}  // namespace suite
