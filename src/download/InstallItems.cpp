#include "download/InstallItems.h"

#include <algorithm>
#include <cstdint>

#include "common/Ascii.h"
#include "download/DownloadPolicy.h"
#include "platform/InstallerRecords.h"
#include "platform/RunningPrograms.h"

namespace suite {

namespace {

std::optional<std::uint64_t> sizeMember(const Json& item) {
    const auto found = item.find("size");
    if (found == item.end() || !found->is_number_integer()) return std::nullopt;
    if (found->is_number_unsigned()) return found->get<std::uint64_t>();
    const auto size = found->get<std::int64_t>();
    return size >= 0 ? std::optional<std::uint64_t>(size) : std::nullopt;
}

// The page holds "processes" to the same rules; a list that breaks one is left out whole, with a
// note: the item still installs, only without asking whether it is open.
void readProcesses(const Json& json, InstallItem& item, std::vector<std::string>& notes) {
    const auto found = json.find("processes");
    if (found == json.end()) return;
    const bool usable = found->is_array() && found->size() <= kMaxProcesses &&
                        std::all_of(found->begin(), found->end(), [](const Json& path) {
                            return path.is_string() && isExecutablePath(path.get<std::string>());
                        });
    if (!usable) {
        notes.push_back("install: the executables named for " + item.id +
                        " are not absolute paths, or too many; not checked");
        return;
    }
    for (const auto& path : *found) item.processes.push_back(path.get<std::string>());
}

}  // namespace

std::optional<InstallItem> decodeInstallItem(const Json& json, const DownloadRules& rules,
                                             std::vector<std::string>& notes) {
    // Results, cancellations and hand-offs are all told by the id: an item without one could
    // never be told apart from another.
    const auto id = stringMember(json, "id");
    const auto url = stringMember(json, "url");
    const auto file = stringMember(json, "file");
    const auto size = sizeMember(json);
    const auto sha256 = lowerAscii(stringMember(json, "sha256").value_or(""));
    auto acceptable = [&](const std::string& address) {
        return isAcceptableDownloadUrl(address, rules.vendorHost, rules.allowLoopbackHttp);
    };
    if (!id || id->empty() || !url || !acceptable(*url) || !file || !isAcceptableFileName(*file) ||
        !size || !isSha256Hex(sha256)) {
        return std::nullopt;
    }
    InstallItem item{.id = *id,
                     .group = stringMember(json, "group").value_or(""),
                     .urls = {*url},
                     .file = *file,
                     .size = *size,
                     .sha256 = sha256,
                     .version = stringMember(json, "version").value_or(""),
                     .self = boolMember(json, "self") == true,
                     .detect = objectMemberOrEmpty(json, "detect")};
    readProcesses(json, item, notes);
    const auto mirrors = json.find("mirrors");
    if (mirrors == json.end() || !mirrors->is_array()) return item;
    for (const auto& mirror : *mirrors) {
        if (item.urls.size() > kMaxMirrors) break;
        if (!mirror.is_string() || !acceptable(mirror.get<std::string>())) {
            notes.push_back("download: a mirror of " + item.id +
                            " is not the vendor's and is not used");
            continue;
        }
        item.urls.push_back(mirror.get<std::string>());
    }
    return item;
}

InstallRequest decodeInstallRequest(const std::vector<Json>& items, const DownloadRules& rules) {
    InstallRequest request;
    for (const auto& json : items) {
        if (auto item = decodeInstallItem(json, rules, request.notes)) {
            request.items.push_back(std::move(*item));
        } else {
            request.refused.push_back(stringMember(json, "id").value_or(""));
        }
    }
    return request;
}

}  // namespace suite
