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
    Json event = historyEvent(history_.newestFirst());
    Json restorable = Json::object();
    if (services_.packages.restores()) {
        for (const auto& [id, version] : kept_.previousVersions()) {
            // Going back to the version that is installed anyway would change nothing.
            const auto installed = installedVersions_.find(id);
            if (installed != installedVersions_.end() && installed->second != version)
                restorable[id] = version;
        }
    }
    event["restorable"] = std::move(restorable);
    return event;
}

std::map<std::string, std::string> InstallFlow::restoredAwayFrom() const {
    std::map<std::string, std::string> left;
    std::set<std::string> seen;
    for (const auto& entry : history_.newestFirst()) {
        if (entry.result == "cancelled" || entry.result == "failed") continue;
        if (seen.insert(entry.id).second && entry.result == "restored") left[entry.id] = entry.from;
    }
    return left;
}

void InstallFlow::recordResult(const Json& event, bool restore) {
    const auto id = stringMember(event, "id").value_or("");
    const auto asked = askedVersions_.find(id);
    const std::string to = asked == askedVersions_.end() ? "" : asked->second;
    auto entry = historyEntryFor(event, installedVersions_, to, services_.packages.kind(),
                                 std::time(nullptr));
    if (!entry) return;
    if (restore && entry->result != "failed" && entry->result != "cancelled")
        entry->result = "restored";
    if (!history_.record(*entry)) log("history: the entry for " + id + " could not be written");
    // Until the next scan, what was just installed is what a later update goes from.
    if (entry->result != "failed" && entry->result != "cancelled") installedVersions_[id] = to;
}

}  // namespace suite
