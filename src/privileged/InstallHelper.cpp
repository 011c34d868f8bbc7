#include "privileged/InstallHelper.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "catalog/KeptCatalog.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"
#include "privileged/RootFiles.h"
#include "privileged/VouchedPackages.h"

namespace suite::privileged {

namespace {

// Room left beside a copy for the package tool's own files while it unpacks.
constexpr std::uint64_t kSpaceMargin = 16u << 20;

// One package the signed catalog vouches for, copied where only root can reach it and checked;
// the copy's control fields when it may go into the transaction, otherwise its result printed.
// The catalog may offer one per architecture: the copy is bounded by the largest, and must be one
// of them to the byte.
std::optional<PackageFacts> verifiedCopy(const std::string& file,
                                         const std::vector<VouchedPackage>& offered,
                                         const std::string& copy, std::size_t index,
                                         Records& records, const HelperBackend& backend,
                                         const HelperSettings& tools) {
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
    auto facts = backend.readPackage(copy);
    if (!facts) {
        records.relay(index, facts.error());
        records.fail(index, {"install", facts.error()});
        return std::nullopt;
    }
    return std::move(*facts);
}

// An older catalog still in date vouches for older versions too; the group rule that spares its
// members the password must not let them go back to one. Only a restore may.
void refuseGoingBack(std::vector<BatchMember>& members, Records& records,
                     const HelperBackend& backend) {
    std::set<std::string> names;
    for (const auto& member : members) names.insert(member.facts.package);
    const auto installed = backend.installedVersions(names);
    std::erase_if(members, [&](const BatchMember& member) {
        const auto found = installed.find(member.facts.package);
        if (found == installed.end() ||
            backend.compareVersions(found->second, member.facts.version) <= 0)
            return false;
        const std::string& name = member.facts.package;
        records.relay(member.index, "refused: a newer " + name +
                                        " is installed; only a restore installs an "
                                        "older version");
        records.fail(member.index, {"install", "a newer " + name + " is installed"});
        return true;
    });
}

}  // namespace

std::vector<const BatchMember*> dependenciesFirst(const std::vector<BatchMember>& members) {
    std::map<std::string, const BatchMember*> byName;
    for (const auto& member : members) byName.emplace(member.facts.package, &member);
    std::vector<const BatchMember*> order;
    std::set<const BatchMember*> placed, visiting;
    std::function<void(const BatchMember*)> place = [&](const BatchMember* member) {
        if (placed.contains(member) || !visiting.insert(member).second) return;
        for (const auto& name : member->facts.depends) {
            if (auto found = byName.find(name); found != byName.end()) place(found->second);
        }
        placed.insert(member);
        order.push_back(member);
    };
    for (const auto& member : members) place(&member);
    return order;
}

void endAtTimeLimit(Records& records, std::size_t index, const HelperSettings& settings) {
    const std::size_t strays = settings.adoptsOrphans ? endRemainingChildren() : 0;
    records.relay(
        index, "stopped: no end after " + std::to_string(settings.installTimeoutSeconds) +
                   " s; the tool was ended with what it had started" +
                   (strays > 0 ? " and " + std::to_string(strays) + " it had left running" : ""));
}

bool acceptsHelperArguments(const std::vector<std::string>& arguments, bool restore) {
    if (arguments.size() < 4 || arguments.size() % 2 != 0) return false;
    if (restore && arguments.size() != 4) return false;
    const std::size_t count = (arguments.size() - 2) / 2;
    bool accepted = count <= kMaxHelperPackages && arguments[0].starts_with('/') &&
                    arguments[1].starts_with('/');
    for (std::size_t i = 0; accepted && i < count; ++i) {
        accepted = isProductId(arguments[2 + 2 * i]) && arguments[3 + 2 * i].starts_with('/');
    }
    return accepted;
}

int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     HelperBackend& backend, const HelperSettings& tools) {
    if (!acceptsHelperArguments(arguments, tools.restore)) {
        if (tools.restore) {
            std::fprintf(err,
                         "usage: restore-helper CATALOG SIGNATURE ID FILE (absolute paths, a "
                         "catalog product id)\n");
        } else {
            std::fprintf(err,
                         "usage: install-helper CATALOG SIGNATURE ID FILE [ID FILE ...] (absolute "
                         "paths, catalog product ids, at most %zu packages)\n",
                         kMaxHelperPackages);
        }
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
    if (document && signature) {
        verdict = judgeCatalog(tools.keys, *document, *signature,
                               tools.restore ? clockOfGeneration(*document) : tools.now);
    }
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
    std::vector<BatchMember> members;
    std::set<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& id = arguments[2 + 2 * i];
        const std::string& file = arguments[3 + 2 * i];
        const auto vouched = vouchedPackages(verdict.document, id, backend.kind());
        if (vouched.empty()) {
            records.relay(i, "refused: the signed catalog offers no " +
                                 std::string(backend.label()) + " package for " + id);
            records.line(resultRecord(i, InstallerResult::Unvouched));
            continue;
        }
        if (folder.path().empty()) {
            records.relay(i, "cannot make a private folder in " + tools.workParent);
            records.fail(i, {"install", "cannot make a private folder in " + tools.workParent});
            continue;
        }
        // Package tools take a path as a package file only when it ends in the kind's suffix.
        const std::string copy =
            folder.path() + "/" + std::to_string(i) + "." + std::string(backend.kind());
        auto facts = verifiedCopy(file, vouched, copy, i, records, backend, tools);
        if (!facts) continue;
        if (!backend.takesArchitecture(facts->architecture)) {
            records.relay(i, "refused: built for " + facts->architecture +
                                 ", which this machine does not install");
            records.fail(i, {"architecture", facts->architecture});
        } else if (!names.insert(facts->package).second) {
            records.fail(i, {"install", "the batch holds " + facts->package + " twice"});
        } else {
            members.push_back({i, copy, std::move(*facts)});
        }
    }
    if (!tools.restore) refuseGoingBack(members, records, backend);
    if (!members.empty()) backend.install(members, records);
    return 0;
}

}  // namespace suite::privileged
