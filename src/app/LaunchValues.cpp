#include "app/LaunchValues.h"

#include <algorithm>
#include <system_error>

#include "notify/UpdateNotification.h"
#include "notify/Waiting.h"

namespace suite {

namespace {

bool hasArgument(const std::vector<std::string>& arguments, std::string_view wanted) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [&](const std::string& argument) { return argument == wanted; });
}

void createFolder(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

}  // namespace

LaunchValues computeLaunchValues(const std::vector<std::string>& arguments, const Environment& env,
                                 std::string_view buildVersion, const UserFolders& folders) {
    LaunchValues values;
    values.appVersion =
        buildVersion.empty() ? std::string(kFallbackVersion) : std::string(buildVersion);
    // The switch wins; the environment is only consulted without it.
    values.isDemo = hasArgument(arguments, "--demo") || env.get("TALVEN_SUITE_DEMO") == "1";
    // A showcase is not the one instance a second start reaches (each start is a showcase of its
    // own), so hidden it could never be shown: it always shows its window.
    values.startHidden = !values.isDemo && hasArgument(arguments, "--background");
    if (hasArgument(arguments, kUpdateAnswerSwitch)) values.notificationAnswer = kUpdateAction;
    values.agentPlist = std::string(kAgentPlist);
    values.supportDir = folders.config / kFolderName;
    createFolder(values.supportDir);
    values.cacheDir = folders.cache / kFolderName / "downloads";
    createFolder(values.cacheDir);
    values.logDir = folders.state / kFolderName;
    values.autostartDir = folders.config / "autostart";
    return values;
}

}  // namespace suite
