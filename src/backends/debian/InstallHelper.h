#pragma once
// The program pkexec runs as root to install one batch of Debian packages. It is called as
//
//     install-helper CATALOG SIGNATURE ID FILE [ID FILE ...]
//
// CATALOG and SIGNATURE are the catalog document the program last verified and its signature, as
// it keeps them; each ID names a product of that catalog and FILE its downloaded package. It
// prints the records of InstallerRecords.h.
//
// It takes nothing on trust from its caller, who may be anyone allowed to ask: it reads the
// document and signature into its own memory (bounded) and checks the vendor's signature and the
// document's dates itself, against the keys it was built with; each package's digest and size
// come from that document's Debian package for the product, never from the caller. A package no
// valid signed document vouches for is refused without being read. Each package is copied where
// the user cannot touch it, the copy bounded by the catalog's size (a larger file is refused, and
// the disk's room is checked first), its digest checked, and its architecture held to what dpkg
// accepts here. The verified copies are then installed in one transaction (BatchTransaction.h),
// which never removes installed software.
//
// A package that was not installed before and that its failure left half installed is removed
// again: dpkg would otherwise retry its scripts, and fail, in every later install on the machine,
// ours and the user's. At its time limit an install is ended with everything it started, dpkg
// included, so no tool of ours goes on as root and holds dpkg's lock. Folders that killed runs
// left behind are removed at the start.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "catalog/CatalogTrust.h"

namespace suite::debian {

// Never more packages than this in one run: the arguments of one process are bounded too.
inline constexpr std::size_t kMaxHelperPackages = 512;

struct HelperTools {
    std::string aptGet = "/usr/bin/apt-get";
    std::string dpkg = "/usr/bin/dpkg";
    std::string dpkgDeb = "/usr/bin/dpkg-deb";
    std::string dpkgQuery = "/usr/bin/dpkg-query";
    std::string adminDir = "/var/lib/dpkg";  // dpkg's database and its locks
    std::string workParent = "/var/tmp";     // where the private folder for the copies is made
    double installTimeoutSeconds = 3600;     // a maintainer script that waits for ever must not
    double lockWaitSeconds = 120;            // for another package tool to finish
    std::vector<std::string> keys = builtInCatalogKeys();
    WallClock now = systemSeconds;
    // Whether the process is the parent of what its tools leave behind (adoptOrphans), so that
    // an install ended at its time limit can end those too.
    bool adoptsOrphans = false;
};

// Whether `arguments` (without the program's name) are what the helper takes: two absolute paths,
// then pairs of a product id and an absolute path, at most kMaxHelperPackages of them.
bool acceptsHelperArguments(const std::vector<std::string>& arguments);

// Runs the batch `arguments` describe (without the program's name), printing the records to `out`
// and what a person should read to `err`. The exit status: 0 once the batch ran (each package
// has its result), 64 for arguments it refuses, 1 when nothing could be done.
int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     const HelperTools& tools = {});

}  // namespace suite::debian
