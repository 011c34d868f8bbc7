// The install flow's side of the history: what each result is recorded as.
#include <ctime>
#include <set>

#include "install/InstallFlow.h"

namespace suite {

void InstallFlow::noteScan(const Json& event) {
    if (stringMember(event, "type") != "scanned") return;
    const auto installed = event.find("installed");
    if (installed == event.end() || !installed->is_object()) return;
    installedVersions_.clear();
    std::set<std::string> ids;
    for (const auto& [id, version] : installed->items()) {
        if (version.is_string()) installedVersions_[id] = version.get<std::string>();
        ids.insert(id);
    }
    kept_.keepOnly(ids);
}

Json InstallFlow::history() const {
    return historyEvent(history_.newestFirst());
}

void InstallFlow::recordResult(const Json& event) {
    const auto id = stringMember(event, "id").value_or("");
    const auto asked = askedVersions_.find(id);
    const std::string to = asked == askedVersions_.end() ? "" : asked->second;
    auto entry = historyEntryFor(event, installedVersions_, to, services_.packages.kind(),
                                 std::time(nullptr));
    if (!entry) return;
    if (!history_.record(*entry)) log("history: the entry for " + id + " could not be written");
    // Until the next scan, what was just installed is what a later update goes from.
    if (entry->result == "installed" || entry->result == "updated") installedVersions_[id] = to;
}

}  // namespace suite
