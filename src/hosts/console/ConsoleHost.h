#pragma once
// The program without a window: one command-line request ("--list", "--check", "--update") run
// on this computer's real services (the HTTP client, the package system and its helpers, the
// user's folders) through a GLib main loop that ends with the request.
#include <filesystem>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/LaunchValues.h"
#include "backends/curl/CurlClientOptions.h"
#include "catalog/CatalogTrust.h"
#include "platform/PackageSystem.h"
#include "platform/Terminal.h"

namespace suite::console {

struct ConsoleHostConfig {
    UserFolders folders = {};
    std::string vendorHost = {};
    std::string appVersion = {};
    std::filesystem::path policyFile = {};  // empty: none
    std::vector<std::string> catalogKeys = builtInCatalogKeys();
    // Tests' loopback services only; the program sets neither.
    CurlClientOptions http = {};
    bool allowPlainHttpDownloadsToLoopback = false;
    PackageSystem* packages = nullptr;  // nothing: this computer's
    // The program whose window shows the run's installs too (its application id); empty: none.
    std::string windowBusName = {};
};

// Runs `line`'s request to its end and gives its exit status (console::ExitStatus).
int runConsole(const CommandLine& line, const ConsoleHostConfig& config, Terminal& terminal);

}  // namespace suite::console
