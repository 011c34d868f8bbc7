#pragma once
// The command line on this machine's real Debian package system (the test copy of the install
// helper, through pkexec), in a test's own folders, with the local vendor service standing in for
// the vendor's hosts.
#include <string>
#include <vector>

#include "backends/debian/DebianPackageSystem.h"
#include "catalog/KeptCatalog.h"
#include "fakes/RecordingTerminal.h"
#include "flows/VendorService.h"
#include "hosts/console/ConsoleHost.h"

namespace suite::flows {

struct ConsoleMachine {
    ConsoleMachine(const std::filesystem::path& dir, const VendorService& vendor)
        : folders{dir / "config", dir / "cache", dir / "state"},
          packages({.helper = SUITE_INSTALL_HELPER,
                    .restoreHelper = SUITE_RESTORE_HELPER,
                    .catalog = (folders.state / kFolderName / kKeptCatalogFileName).string(),
                    .signature = (folders.state / kFolderName / kKeptSignatureFileName).string()}),
          config{.folders = folders,
                 .vendorHost = "brenlow.example",
                 .appVersion = "3.1.0",
                 .http = {.caFile = vendor.caFile(),
                          .connectTo = {"::127.0.0.1:" + std::to_string(vendor.port())}},
                 .packages = &packages} {}

    // `line` without the program's name; its exit status.
    int run(std::vector<std::string> line, fakes::RecordingTerminal& terminal) {
        line.insert(line.begin(), "talven-suite");
        return console::runConsole(readCommandLine(line), config, terminal);
    }

    UserFolders folders;
    debian::DebianPackageSystem packages;
    console::ConsoleHostConfig config;
};

}  // namespace suite::flows
