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
    return installedAtCatalogVersions({item}, packages).front();
}

std::vector<std::optional<bool>> installedAtCatalogVersions(const std::vector<Json>& items,
                                                            const PackageSystem& packages) {
    std::vector<std::optional<bool>> judged(items.size());
    if (items.empty()) return judged;
    const auto found = packages.installedVersions(items);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto wanted = stringMember(items[i], "version");
        if (!wanted || wanted->empty()) continue;
        judged[i] = found[i] && packages.compareVersions(*found[i], *wanted) >= 0;
    }
    return judged;
}

}  // namespace suite
