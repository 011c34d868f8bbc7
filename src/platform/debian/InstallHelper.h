#pragma once
// The program pkexec runs as root to install one batch of Debian packages. It is called as
//
//     install-helper FILE SHA256 [FILE SHA256 ...]
//
// (each a downloaded package and the SHA-256 digest the catalog gives for it) and prints the
// records of InstallerRecords.h. For each package it takes a copy the user cannot touch, checks
// the copy's digest against the one it was given (the download sat in a folder the user can
// write to, between the program's own check and now), installs the copy with apt-get and relays
// what apt-get printed. A package that was not installed before and that its failure left half
// installed is removed again: dpkg would otherwise retry its scripts, and fail, in every later
// install on the machine, ours and the user's. It trusts nothing of its surroundings: not the
// downloads' folder, not the files' names, not what the packages print.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace suite::debian {

// Never more packages than this in one run: the arguments of one process are bounded too.
inline constexpr std::size_t kMaxHelperPackages = 512;

struct HelperTools {
    std::string aptGet = "/usr/bin/apt-get";
    std::string dpkg = "/usr/bin/dpkg";
    std::string dpkgDeb = "/usr/bin/dpkg-deb";
    std::string dpkgQuery = "/usr/bin/dpkg-query";
    std::string workParent = "/var/tmp";  // where the private folder for the copies is made
    double installTimeoutSeconds = 3600;  // a maintainer script that waits for ever must not
};

// Whether `arguments` (without the program's name) are what the helper takes: pairs of an
// absolute path and 64 lower-case hex digits, at most kMaxHelperPackages of them.
bool acceptsHelperArguments(const std::vector<std::string>& arguments);

// Runs the batch `arguments` describe (the pairs, without the program's name), printing the
// records to `out` and what a person should read to `err`. The exit status: 0 once the batch ran
// (each package has its result), 64 for arguments it refuses, 1 when nothing could be done.
int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     const HelperTools& tools = {});

}  // namespace suite::debian
