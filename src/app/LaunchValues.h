#pragma once
// The launch-wide values, fixed once before the event loop starts and read-only afterwards.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemSettings.h"

namespace suite {

// The user's base folders as the desktop defines them (XDG config, cache and state homes).
struct UserFolders {
    std::filesystem::path config;
    std::filesystem::path cache;
    std::filesystem::path state;
};

struct LaunchValues {
    std::string appVersion;
    bool isDemo = false;
    bool startHidden = false;
    // The user's answer to a notification, given to the waiting program in this one's stead.
    std::optional<std::string> notificationAnswer;
    std::string agentPlist;
    std::filesystem::path supportDir;    // settings.json
    std::filesystem::path cacheDir;      // downloaded packages
    std::filesystem::path logDir;        // install.log
    std::filesystem::path autostartDir;  // the desktop's start-at-login entries
};

inline constexpr std::string_view kFallbackVersion = "1.0.0";
inline constexpr std::string_view kAgentPlist = "com.brenlow.talven.suite.agent.plist";
inline constexpr std::string_view kFolderName = "TALVEN Suite";

// Computes the values in their fixed order; `buildVersion` is the version the program was built
// with (empty counts as missing). Creates the support and cache folders; failing that is ignored
// here, and the later read or write in them fails and is handled by its user.
LaunchValues computeLaunchValues(const std::vector<std::string>& arguments, const Environment& env,
                                 std::string_view buildVersion, const UserFolders& folders);

}  // namespace suite
