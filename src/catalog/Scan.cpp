#include "catalog/Scan.h"
#include "bridge/Events.h"

namespace suite {

Json scannedEvent(const std::vector<Json>& items, const PackageSystem& packages) {
    const auto versions = packages.installedVersions(items);
    Json installed = Json::object();
    for (std::size_t i = 0; i < items.size() && i < versions.size(); ++i) {
        auto id = stringMember(items[i], "id");
        if (id && versions[i]) installed[*id] = *versions[i];
    }
    return bridge::scannedEvent(std::move(installed));
}

std::optional<bool> installedAtCatalogVersion(const Json& item, const PackageSystem& packages) {
    auto wanted = stringMember(item, "version");
    if (!wanted || wanted->empty()) return std::nullopt;
    auto found = packages.installedVersions({item}).front();
    if (!found) return false;
    return packages.compareVersions(*found, *wanted) >= 0;
}

}  // namespace suite
