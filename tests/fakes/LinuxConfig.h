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

}  // namespace suite::fakes
