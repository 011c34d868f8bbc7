#pragma once
// The program's settings as this host's build sets them, for tests that start the whole program.
#include <filesystem>

#include "app/AppDelegate.h"

namespace suite::fakes {

inline AppConfig linuxConfig(std::filesystem::path webRoot) {
    AppConfig config;
    config.webRoot = std::move(webRoot);
    config.vendorHost = "brenlow.example";
    config.platformName = "linux";
    config.hostTag = "Linux";
    return config;
}

// Launch values whose folders all lie in `dir`; the autostart folder is left for the program
// to make, as a user's may not exist yet.
inline LaunchValues launchIn(const std::filesystem::path& dir) {
    LaunchValues launch;
    launch.appVersion = "3.1.0";
    launch.agentPlist = std::string(kAgentPlist);
    launch.supportDir = dir / "support";
    launch.cacheDir = dir / "downloads";
    launch.logDir = dir / "logs";
    launch.autostartDir = dir / "config" / "autostart";
    for (const auto& folder : {launch.supportDir, launch.cacheDir, launch.logDir})
        std::filesystem::create_directories(folder);
    return launch;
}

}  // namespace suite::fakes
