#pragma once
// The program pkexec runs as root to install one batch of packages. It is called as
//
//     install-helper CATALOG SIGNATURE ID FILE [ID FILE ...]
//
// CATALOG and SIGNATURE are the catalog document the program last verified and its signature, as
// it keeps them (for a restore, those kept with the one package; see HelperSettings::restore); each
// ID names a product of that catalog and FILE its downloaded package. It prints the records of
// InstallerRecords.h.
//
// It takes nothing on trust from its caller, who may be anyone allowed to ask: it reads the
// document and signature into its own memory (bounded) and checks the vendor's signature and the
// document's dates itself, against the keys it was built with; each package's digest and size
// come from that document's package of this system's kind for the product, never from the
// caller. A package no valid signed document vouches for is refused without being read. Each
// package is copied where the user cannot touch it, the copy bounded by the catalog's size (a
// larger file is refused, and the disk's room is checked first), its digest checked, and its
// architecture held to what this machine installs. The verified copies are then installed in one
// transaction by the package system's half of the helper (HelperBackend), which never removes
// installed software, leaves the package database consistent, and at its time limit ends its
// tools with everything they started, so no tool of ours goes on as root holding the database's
// lock. Folders that killed runs left behind are removed at the start.
#include <cstddef>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/CatalogTrust.h"
#include "common/Expected.h"
#include "privileged/HelperRecords.h"

namespace suite::privileged {

// Never more packages than this in one run: the arguments of one process are bounded too.
inline constexpr std::size_t kMaxHelperPackages = 512;

// What the helper needs whatever the package system.
struct HelperSettings {
    std::string workParent = "/var/tmp";  // where the private folder for the copies is made
    double installTimeoutSeconds = 3600;  // a package script that waits for ever must not
    double lockWaitSeconds = 120;         // for another package tool to finish
    std::vector<std::string> keys = builtInCatalogKeys();
    WallClock now = systemSeconds;
    // Whether the process is the parent of what its tools leave behind (adoptOrphans), so that
    // an install ended at its time limit can end those too.
    bool adoptsOrphans = false;
    // A restore of the version an update replaced: one package, vouched for by the document kept
    // with it, which is judged as of its own "generated" time (it has usually expired since; its
    // signature still counts), and installed over the newer version.
    bool restore = false;
};

// What a package file says of itself, as its own tool reads it.
struct PackageFacts {
    std::string package, version, architecture;
    std::vector<std::string> depends;  // the names of the packages it needs
};

// A verified copy, ready for the transaction.
struct BatchMember {
    std::size_t index = 0;  // in the batch
    std::string copy;       // root's verified copy, named *.<kind>
    PackageFacts facts;
};

// One package system's half of the helper.
class HelperBackend {
  public:
    virtual ~HelperBackend() = default;
    // The catalog's package kind this system installs ("deb", "rpm"), also the copies' suffix.
    virtual std::string_view kind() const = 0;
    // The kind as a person names it ("Debian", "RPM").
    virtual std::string_view label() const = 0;
    // The facts of a verified copy; why not, in a person's words, when its tool cannot read it.
    virtual Expected<PackageFacts, std::string> readPackage(const std::string& copy) const = 0;
    // Whether this machine installs packages built for `architecture`.
    virtual bool takesArchitecture(const std::string& architecture) = 0;
    // The installed versions of those of the packages `names` that are installed, in one look at
    // the database, and the system's order of two versions (negative, zero, positive).
    virtual std::map<std::string, std::string> installedVersions(
        const std::set<std::string>& names) const = 0;
    virtual int compareVersions(const std::string& a, const std::string& b) const = 0;
    // Installs `members` in one transaction and prints a result record for each.
    virtual void install(const std::vector<BatchMember>& members, Records& records) = 0;
};

// The members, each after the batch members it depends on (so that one tried alone has them);
// otherwise in the batch's order.
std::vector<const BatchMember*> dependenciesFirst(const std::vector<BatchMember>& members);

// A tool that ran past the time limit was ended with what it had started: the processes it left
// running are ended too (where the helper adopts orphans), and package `index`'s output says so.
void endAtTimeLimit(Records& records, std::size_t index, const HelperSettings& settings);

// Whether `arguments` (without the program's name) are what the helper takes: two absolute paths,
// then pairs of a product id and an absolute path, at most kMaxHelperPackages of them (exactly
// one for a `restore`).
bool acceptsHelperArguments(const std::vector<std::string>& arguments, bool restore = false);

// Runs the batch `arguments` describe (without the program's name) through `backend`, printing
// the records to `out` and what a person should read to `err`. The exit status: 0 once the batch
// ran (each package has its result), 64 for arguments it refuses, 1 when nothing could be done.
int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     HelperBackend& backend, const HelperSettings& settings = {});

}  // namespace suite::privileged
