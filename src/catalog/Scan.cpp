#include "catalog/Scan.h"

#include "catalog/VersionCompare.h"

namespace suite {

Json scannedEvent(const std::vector<Json>& items, const DetectPaths& paths) {
    Json installed = Json::object();
    for (const auto& item : items) {
        auto id = stringMember(item, "id");
        if (!id) continue;
        std::string group = stringMember(item, "group").value_or("");
        if (auto version = Detect::version(group, objectMemberOrEmpty(item, "detect"), paths)) {
            installed[*id] = *version;
        }
    }
    return Json{{"type", "scanned"}, {"installed", std::move(installed)}};
}

std::optional<bool> isInstalledItem(const Json& item, const DetectPaths& paths) {
    auto group = stringMember(item, "group");
    if (group != "app") return std::nullopt;
    auto wanted = stringMember(item, "version");
    if (!wanted || wanted->empty()) return std::nullopt;
    auto found = Detect::version(*group, objectMemberOrEmpty(item, "detect"), paths);
    if (!found) return false;
    return compareVersions(*found, *wanted) >= 0;
}

}  // namespace suite
