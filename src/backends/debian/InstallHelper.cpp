#include "backends/debian/InstallHelper.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

#include "backends/debian/BatchTransaction.h"
#include "backends/debian/DpkgDatabase.h"
#include "backends/debian/RootFiles.h"
#include "backends/debian/VouchedPackages.h"
#include "catalog/KeptCatalog.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"

namespace suite::debian {

namespace {

// Room left beside a copy for dpkg's own files while it unpacks.
constexpr std::uint64_t kSpaceMargin = 16u << 20;

// The architectures dpkg installs packages of here: its own, the foreign ones it was given, and
// "all".
std::set<std::string> acceptedArchitectures(const HelperTools& tools) {
    std::set<std::string> accepted = {"all"};
    for (const char* question : {"--print-architecture", "--print-foreign-architectures"}) {
        auto run = runProcess(tools.dpkg, {question}, toolOptions(60));
        if (!run || run->exitStatus != 0) continue;
        std::istringstream words(run->standardOutput);
        for (std::string word; words >> word;) accepted.insert(word);
    }
    return accepted;
}

// One package the signed catalog vouches for, copied where only root can reach it and checked;
// the copy's control fields when it may go into the transaction, otherwise its result printed.
// The catalog may offer one per architecture: the copy is bounded by the largest, and must be one
// of them to the byte.
std::optional<DebControl> verifiedCopy(const std::string& file,
                                       const std::vector<VouchedPackage>& offered,
                                       const std::string& copy, std::size_t index, Records& records,
                                       const HelperTools& tools) {
    std::uint64_t largest = 0;
    for (const auto& package : offered) largest = std::max(largest, package.size);
    const auto room = freeBytes(tools.workParent);
    if (room && *room < largest + kSpaceMargin) {
        records.relay(index, "not enough room in " + tools.workParent + " for a copy of " +
                                 std::to_string(largest) + " bytes (" + std::to_string(*room) +
                                 " free)");
        records.fail(index, {"install", "not enough room in " + tools.workParent});
        return std::nullopt;
    }
    const auto copied = copyBounded(file, copy, largest);
    if (!copied && copied.error().kind == CopyFailure::Kind::TooLarge) {
        records.relay(index, "refused: larger than the " + std::to_string(largest) +
                                 " bytes the signed catalog gives; copying stopped there");
        records.line(resultRecord(index, InstallerResult::Refused));
        return std::nullopt;
    }
    if (!copied) {
        records.relay(index, "cannot read " + file + ": " + copied.error().why);
        records.fail(index, {});
        return std::nullopt;
    }
    // The digest of what was read is not printed: root must not tell anyone the digest of a
    // file they could not read themselves.
    std::error_code sizeError;
    const auto copiedSize = std::filesystem::file_size(copy, sizeError);
    if (std::none_of(offered.begin(), offered.end(), [&](const VouchedPackage& package) {
            return package.sha256 == *copied && !sizeError && package.size == copiedSize;
        })) {
        records.relay(index, "refused: not the package the signed catalog describes");
        records.line(resultRecord(index, InstallerResult::Refused));
        return std::nullopt;
    }
    auto fields = runProcess(
        tools.dpkgDeb,
        {"--field", copy, "Package", "Version", "Architecture", "Depends", "Pre-Depends"},
        toolOptions(60));
    DebControl control =
        readControl(fields && fields->exitStatus == 0 ? fields->standardOutput : "");
    if (!isPackageName(control.package) || control.version.empty()) {
        records.relay(index, "not a Debian package dpkg can read");
        records.fail(index, {"install", "not a Debian package dpkg can read"});
        return std::nullopt;
    }
    return control;
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
    Records records(out);
    records.line(std::string(kHelperStarted));
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
            records.relay(i, "refused: " + why);
            records.line(resultRecord(i, InstallerResult::Unvouched));
        }
        return 0;
    }

    PrivateFolder folder(tools.workParent);
    const std::set<std::string> architectures = acceptedArchitectures(tools);
    std::vector<BatchMember> members;
    std::set<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& id = arguments[2 + 2 * i];
        const std::string& file = arguments[3 + 2 * i];
        const auto vouched = vouchedDebianPackages(verdict.document, id);
        if (vouched.empty()) {
            records.relay(i, "refused: the signed catalog offers no Debian package for " + id);
            records.line(resultRecord(i, InstallerResult::Unvouched));
            continue;
        }
        if (folder.path().empty()) {
            records.relay(i, "cannot make a private folder in " + tools.workParent);
            records.fail(i, {"install", "cannot make a private folder in " + tools.workParent});
            continue;
        }
        // dpkg and apt-get take a path as a package file only when it ends in ".deb".
        const std::string copy = folder.path() + "/" + std::to_string(i) + ".deb";
        auto control = verifiedCopy(file, vouched, copy, i, records, tools);
        if (!control) continue;
        if (!architectures.contains(control->architecture)) {
            records.relay(i, "refused: built for " + control->architecture +
                                 ", which dpkg does not install here");
            records.fail(i, {"architecture", control->architecture});
        } else if (!names.insert(control->package).second) {
            records.fail(i, {"install", "the batch holds " + control->package + " twice"});
        } else {
            members.push_back({i, copy, std::move(*control)});
        }
    }
    installTransaction(members, records, tools);
    return 0;
}

}  // namespace suite::debian
