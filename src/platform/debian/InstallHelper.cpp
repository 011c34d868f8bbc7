#include "platform/debian/InstallHelper.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>

#include "catalog/KeptCatalog.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"
#include "platform/debian/DpkgDatabase.h"
#include "platform/debian/RootFiles.h"
#include "platform/debian/VouchedPackages.h"

namespace suite::debian {

namespace {

// Room left beside a copy for dpkg's own files while it unpacks.
constexpr std::uint64_t kSpaceMargin = 16u << 20;

void record(std::FILE* out, const std::string& line) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

// What one package's installation printed, relayed line by line.
void relayOutput(std::FILE* out, std::size_t index, std::string_view text) {
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        std::string line(text.substr(0, cut));
        std::erase(line, '\r');
        record(out, outputRecord(index, line));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    }
}

// A clean, fixed setting for the package tools whatever called us: nobody is there to answer a
// question, and the log reads the same on every machine.
ProcessOptions toolOptions(double timeoutSeconds) {
    ProcessOptions options;
    options.mergeStandardError = true;
    options.outputLimit = 4u << 20;
    options.timeoutSeconds = timeoutSeconds;
    options.environment = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
                           {"DEBIAN_FRONTEND", "noninteractive"},
                           {"APT_LISTCHANGES_FRONTEND", "none"},
                           {"LC_ALL", "C.UTF-8"}};
    return options;
}

// The package name inside a package file; empty when it cannot be read.
std::string packageNameOf(const std::string& file, const HelperTools& tools) {
    auto run = runProcess(tools.dpkgDeb, {"--field", file, "Package"}, toolOptions(60));
    if (!run || run->exitStatus != 0) return "";
    std::string name = run->standardOutput.substr(0, run->standardOutput.find('\n'));
    return isPackageName(name) ? name : "";
}

// dpkg's status of `name` ("install ok installed", "install ok half-configured", ...); empty
// when dpkg knows nothing of it.
std::string statusOf(const std::string& name, const HelperTools& tools) {
    auto run = runProcess(tools.dpkgQuery, {"-W", "-f", "${Status}", name}, toolOptions(60));
    return run && run->exitStatus == 0 ? run->standardOutput : "";
}

bool isInstalledStatus(const std::string& status) {
    return status.ends_with(" ok installed");
}

bool isNotInstalledStatus(const std::string& status) {
    return status.empty() || status.ends_with(" not-installed") ||
           status.ends_with(" config-files");
}

InstallerResult installCopy(const std::string& copy, std::size_t index, std::FILE* out,
                            const HelperTools& tools) {
    const std::string name = packageNameOf(copy, tools);
    const bool wasInstalled = !name.empty() && isInstalledStatus(statusOf(name, tools));
    const ProcessOptions options = toolOptions(tools.installTimeoutSeconds);
    // Without a terminal of its own for dpkg, apt-get keeps dpkg in its process group, which the
    // time limit's kill ends as a whole. --no-remove: a package that conflicts with installed
    // software fails rather than have apt remove that software unasked.
    auto run =
        runProcess(tools.aptGet,
                   {"install", "--yes", "--no-remove", "--allow-downgrades", "-o",
                    "Dpkg::Use-Pty=0", "-o", "Dpkg::Options::=--force-confdef", "-o",
                    "Dpkg::Options::=--force-confold", "-o", "DPkg::Lock::Timeout=120", copy},
                   options);
    if (!run) {
        relayOutput(out, index, "cannot start " + tools.aptGet);
        return InstallerResult::Failed;
    }
    relayOutput(out, index, run->standardOutput);
    if (run->timedOut) {
        const std::size_t strays = tools.adoptsOrphans ? endRemainingChildren() : 0;
        relayOutput(
            out, index,
            "stopped: no end after " + std::to_string(tools.installTimeoutSeconds) +
                " s; apt-get was ended with what it had started" +
                (strays > 0 ? " and " + std::to_string(strays) + " it had left running" : ""));
    }
    if (run->exitStatus == 0 && !run->timedOut) return InstallerResult::Installed;
    // apt-get also fails when another package is left half set up; dpkg's own word on this one
    // is what counts.
    if (name.empty()) return InstallerResult::Failed;
    const std::string status = statusOf(name, tools);
    if (isInstalledStatus(status) && !run->timedOut) return InstallerResult::Installed;
    if (!wasInstalled && !isNotInstalledStatus(status)) {
        relayOutput(out, index, "left " + status + "; removing it again");
        auto removal = runProcess(tools.dpkg, {"--remove", name}, toolOptions(600));
        if (removal) relayOutput(out, index, removal->standardOutput);
        const std::string after = statusOf(name, tools);
        relayOutput(out, index,
                    "dpkg now has " + name +
                        " as: " + (isNotInstalledStatus(after) ? "not installed" : after));
    } else if (run->timedOut) {
        relayOutput(out, index, "dpkg has " + name + " as: " + status);
    }
    return InstallerResult::Failed;
}

// One package the signed catalog vouches for: a bounded private copy, checked, then installed.
// The catalog may offer one per architecture: the copy is bounded by the largest, and must be one
// of them to the byte.
InstallerResult installVouched(const std::string& file, const std::vector<VouchedPackage>& offered,
                               const std::string& copy, std::size_t index, std::FILE* out,
                               const HelperTools& tools) {
    std::uint64_t largest = 0;
    for (const auto& package : offered) largest = std::max(largest, package.size);
    const auto room = freeBytes(tools.workParent);
    if (room && *room < largest + kSpaceMargin) {
        relayOutput(out, index,
                    "not enough room in " + tools.workParent + " for a copy of " +
                        std::to_string(largest) + " bytes (" + std::to_string(*room) + " free)");
        return InstallerResult::Failed;
    }
    const BoundedCopy copied = copyBounded(file, copy, largest);
    switch (copied.outcome) {
        case BoundedCopy::Outcome::Unreadable:
            relayOutput(out, index, "cannot read " + file + ": " + copied.why);
            return InstallerResult::Failed;
        case BoundedCopy::Outcome::TooLarge:
            relayOutput(out, index,
                        "refused: larger than the " + std::to_string(largest) +
                            " bytes the signed catalog gives; copying stopped there");
            return InstallerResult::Refused;
        case BoundedCopy::Outcome::Copied:
            break;
    }
    // The digest of what was read is not printed: root must not tell anyone the digest of a
    // file they could not read themselves.
    std::error_code sizeError;
    const auto copiedSize = std::filesystem::file_size(copy, sizeError);
    if (std::none_of(offered.begin(), offered.end(), [&](const VouchedPackage& package) {
            return package.sha256 == copied.sha256 && !sizeError && package.size == copiedSize;
        })) {
        relayOutput(out, index, "refused: not the package the signed catalog describes");
        return InstallerResult::Refused;
    }
    return installCopy(copy, index, out, tools);
}

}  // namespace

bool acceptsHelperArguments(const std::vector<std::string>& arguments) {
    if (arguments.size() < 4 || arguments.size() % 2 != 0) return false;
    const std::size_t count = (arguments.size() - 2) / 2;
    bool accepted = count <= kMaxHelperPackages && arguments[0].starts_with('/') &&
                    arguments[1].starts_with('/');
    for (std::size_t i = 0; accepted && i < count; ++i) {
        accepted = isProductId(arguments[2 + 2 * i]) && arguments[3 + 2 * i].starts_with('/');
    }
    return accepted;
}

int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     const HelperTools& tools) {
    if (!acceptsHelperArguments(arguments)) {
        std::fprintf(err,
                     "usage: install-helper CATALOG SIGNATURE ID FILE [ID FILE ...] (absolute "
                     "paths, catalog product ids, at most %zu packages)\n",
                     kMaxHelperPackages);
        return 64;
    }
    const std::size_t count = (arguments.size() - 2) / 2;
    record(out, std::string(kHelperStarted));
    if (const std::size_t swept = removeLeftoverFolders(tools.workParent); swept > 0) {
        std::fprintf(err, "install-helper: removed %zu folders that ended runs left in %s\n", swept,
                     tools.workParent.c_str());
    }

    // Read once into root's memory: what is judged is what is used, whatever the user's files
    // become meanwhile. A link may be followed here: what is read only meets the signature check,
    // and nothing of it is printed.
    const auto document = readWholeFile(arguments[0], kKeptCatalogMaxBytes);
    const auto signature = readWholeFile(arguments[1], kKeptCatalogMaxBytes);
    CatalogVerdict verdict{CatalogRefusal::Signature, {}};
    if (document && signature) verdict = judgeCatalog(tools.keys, *document, *signature, tools.now);
    if (verdict.refusal) {
        const std::string why =
            !document || !signature
                ? "the catalog or its signature cannot be read (at most " +
                      std::to_string(kKeptCatalogMaxBytes) + " bytes each)"
                : std::string("the catalog was refused: ") + reasonName(*verdict.refusal);
        for (std::size_t i = 0; i < count; ++i) {
            relayOutput(out, i, "refused: " + why);
            record(out, resultRecord(i, InstallerResult::Unvouched));
        }
        return 0;
    }

    PrivateFolder folder(tools.workParent);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& id = arguments[2 + 2 * i];
        const std::string& file = arguments[3 + 2 * i];
        InstallerResult result = InstallerResult::Failed;
        if (const auto vouched = vouchedDebianPackages(verdict.document, id); vouched.empty()) {
            relayOutput(out, i, "refused: the signed catalog offers no Debian package for " + id);
            result = InstallerResult::Unvouched;
        } else if (folder.path().empty()) {
            relayOutput(out, i, "cannot make a private folder in " + tools.workParent);
        } else {
            // apt-get takes a path as a package file only when it ends in ".deb".
            const std::string copy = folder.path() + "/" + std::to_string(i) + ".deb";
            result = installVouched(file, vouched, copy, i, out, tools);
            std::error_code ignored;
            std::filesystem::remove(copy, ignored);
        }
        record(out, resultRecord(i, result));
    }
    return 0;
}

}  // namespace suite::debian
