#pragma once
// Where the install script finds its tools and puts its files. The defaults are the real
// locations; tests point them at fake tools in a temporary folder and run the script for real.
#include <string>
#include <vector>

namespace suite {

struct InstallPaths {
    std::string installer = "/usr/sbin/installer";
    std::string pkill = "/usr/bin/pkill";
    std::string mkdir = "/bin/mkdir";
    std::string mv = "/bin/mv";
    std::string rm = "/bin/rm";
    std::string sleep = "sleep";
    std::string cp = "/bin/cp";
    std::string mktemp = "/usr/bin/mktemp";
    std::string shasum = "/usr/bin/shasum";
    // The folder that holds the marker file ".talven-suite-installing" and the run's own folder
    // for the copies of the packages.
    std::string tempFolder = "/private/tmp";
    // Searched for old application bundles, in this order; empty: the detection folders.
    std::vector<std::string> appDirs;
    // The user's home folder (its ".Trash" receives old bundles); empty: the real one.
    std::string home;
};

}  // namespace suite
