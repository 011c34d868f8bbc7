#pragma once
// What this host installs and how: which downloaded files are packages, which version of a
// product is installed, how versions order, the one privileged run that installs a batch, and
// what a package that failed there is handed to. One backend per host (macOS installer packages,
// Debian packages); where none fits, nothing can be installed and nothing pretends otherwise.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"
#include "platform/InstallItem.h"

namespace suite {

// A downloaded package that passed its digest check, with the item it belongs to.
struct VerifiedPackage {
    InstallItem item;
    std::filesystem::path file;  // the verified download in the download folder
};

// What the installer reported for one package of a batch.
enum class PackageReport {
    Installed,
    Failed,
    Refused,    // the file was not the one the catalog describes when the installer looked again
    Unvouched,  // no valid vendor-signed catalog vouches for it where the installer looked
};

// Why a package of a batch was not installed, in words the page translates: "dependency" (the
// detail names what is missing), "conflict" (the installed package it would have removed),
// "architecture" (this machine cannot run it), or "install" (the detail is the tool's own line).
// An empty code: the installer gave no reason.
struct FailureReason {
    std::string code;
    std::string detail;
    bool operator==(const FailureReason&) const = default;
};

// What a privileged run tells while it goes on, for the package at `index` of the batch.
struct BatchStep {
    enum class Kind {
        Authorized,  // the user said yes; the run has started (no index)
        Unpacking,   // the package's files are being put in place
        SettingUp,   // its set-up is running
        Finished,    // it reached its result: `report`, and `reason` when it failed
    };
    Kind kind = Kind::Authorized;
    std::size_t index = 0;
    PackageReport report = PackageReport::Failed;
    FailureReason reason;
    std::string version;  // what it installed, where the installer names it
};
using BatchProgress = std::function<void(const BatchStep&)>;

enum class RunResult {
    Ran,          // the installer ran; a package it did not install may go to the desktop's
    Cancelled,    // the user dismissed the request for rights; nothing ran
    Unavailable,  // rights could not be asked for at all (no tool, no agent): nothing ran
};

// Why a privileged run did not run, where it did not.
enum class NotRun {
    None,
    NoInstaller,    // this system has no package installer the program can use
    HelperMissing,  // the install helper is not where the program looks (`detail`: no more)
    NoKeptCatalog,  // no verified catalog is kept for the helper (`detail`: where it was looked
                    // for)
    CannotStart,    // the tool that asks for rights cannot be started (`detail`: the tool)
    NotAuthorized,  // it ran but did not run the installer (`detail`: the tool, `exitStatus`,
                    // `error`)
};

// One privileged run of a batch, as the install log tells it. An installer may take a batch in
// several runs; each asks for rights again.
struct InstallerRun {
    RunResult result = RunResult::Unavailable;
    NotRun notRun = NotRun::None;
    std::vector<std::size_t> packages = {};  // the batch's packages it held, in order
    std::string output = {};                 // the installer's result records, as printed
    std::string error = {};                  // what it printed on its error stream
    std::string detail = {};
    int exitStatus = 0;
};

// What became of one package of a batch.
struct PackageOutcome {
    RunResult run = RunResult::Unavailable;  // of the run that held it
    PackageReport report = PackageReport::Failed;
    FailureReason reason = {};  // why it failed, where the installer said
    std::string output = {};    // what installing it printed (lines, each ending in a line feed)
};

// A package that no run held and that is Unvouched was refused before any run: it names no
// catalog product the installer could look for.
struct BatchOutcome {
    std::vector<PackageOutcome> packages = {};  // one per package of the batch, in order
    std::vector<InstallerRun> runs = {};        // in the order they ran
};

// A batch of `count` packages none of which went to an installer, for the reason `why`.
inline BatchOutcome nothingRan(std::size_t count, NotRun why) {
    BatchOutcome outcome{.packages = std::vector<PackageOutcome>(count)};
    InstallerRun run{.result = RunResult::Unavailable, .notRun = why};
    for (std::size_t i = 0; i < count; ++i) run.packages.push_back(i);
    outcome.runs.push_back(std::move(run));
    return outcome;
}

class PackageSystem {
  public:
    virtual ~PackageSystem() = default;

    // "deb", "pkg", or "" where this host can install nothing; the page picks its catalog
    // variant by it.
    virtual std::string kind() const = 0;

    // The architecture, as this kind names them ("amd64", "arm64"), of the packages this host
    // takes; the page picks a product's package for it. "": the kind has no such notion.
    virtual std::string architecture() const { return ""; }

    virtual bool isPackageFile(const std::filesystem::path& file) const = 0;

    // The installed version for each item's "detect" rules, in order; nothing where none is
    // found. One look at the machine for the whole list. Blocks; callable from any thread.
    virtual std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const = 0;

    // Negative when `a` orders before `b`, zero when equal, positive after.
    virtual int compareVersions(std::string_view a, std::string_view b) const = 0;

    // Whether the item's "detect" names anything this host can look for.
    virtual bool detects(const Json& item) const = 0;

    // Whether the installed check judges the item right after a privileged run, before the
    // installer's own report (macOS: applications, whose bundles are plain to see).
    virtual bool judgesAfterRun(const Json& item) const = 0;

    // Installs `packages` (each one a package file) in one run with administrator rights, asking
    // the user once. `prompt` is the request's text where the host lets the program choose it.
    // Blocks for as long as the user and the installers take: call it off the main thread.
    // `progress`, where the installer tells how it goes on, is called on the calling thread.
    virtual BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages,
                                      const std::string& prompt, const BatchProgress& progress) = 0;

    // Whether installBatch tells its progress (BatchStep) while the run goes on.
    virtual bool reportsSteps() const { return false; }

    // Puts back a package this program installed earlier (possibly an older version than the
    // one installed now) in a run of its own that always asks for an administrator's password,
    // even where installs need none: a quiet downgrade could bring back a known flaw. `catalog`
    // and `signature` are the vendor-signed document that vouched for the package when it went
    // in; their expiry does not apply, their signature does. Blocks like installBatch. Where the
    // host cannot do it, nothing runs.
    virtual BatchOutcome restore(const VerifiedPackage& /*package*/,
                                 const std::filesystem::path& /*catalog*/,
                                 const std::filesystem::path& /*signature*/,
                                 const BatchProgress& /*progress*/) {
        return nothingRan(1, NotRun::NoInstaller);
    }
    // Whether `restore` can put anything back.
    virtual bool restores() const { return false; }

    // The content type whose default handler takes a package the privileged run did not
    // install; empty: the handler of the file's own type.
    virtual std::string handOffType() const = 0;

    // What a relaunch after a self-update starts where the host installs the program somewhere
    // of its own (a macOS bundle); nothing: the running program's own file, replaced in place.
    virtual std::optional<std::string> installedProgram() const = 0;

    // What opening an installed product opens, for its "detect" object; nothing when it cannot
    // be found.
    virtual std::optional<std::string> productToOpen(const Json& detect) const = 0;

    // The desktop entry (a desktop file id) that starts an installed product, for its "detect"
    // object, where the host launches products by their entries; nothing: open productToOpen.
    virtual std::optional<std::string> applicationToLaunch(const Json&) const {
        return std::nullopt;
    }

    // The file whose changes may mean that what is installed changed (the package database),
    // where the host has one worth watching; nothing: look again when the user comes back.
    virtual std::optional<std::string> databaseToWatch() const { return std::nullopt; }
};

// A host without a package system the program can drive: nothing is a package, nothing is found
// installed, and a batch never runs.
class NoPackageSystem final : public PackageSystem {
  public:
    std::string kind() const override { return ""; }
    bool isPackageFile(const std::filesystem::path&) const override { return false; }
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override {
        return std::vector<std::optional<std::string>>(items.size());
    }
    int compareVersions(std::string_view a, std::string_view b) const override {
        return a.compare(b);
    }
    bool detects(const Json&) const override { return false; }
    bool judgesAfterRun(const Json&) const override { return false; }
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages, const std::string&,
                              const BatchProgress&) override {
        return nothingRan(packages.size(), NotRun::NoInstaller);
    }
    std::string handOffType() const override { return ""; }
    std::optional<std::string> installedProgram() const override { return std::nullopt; }
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }
};

}  // namespace suite
