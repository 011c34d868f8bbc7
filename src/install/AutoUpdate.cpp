#include "install/AutoUpdate.h"

#include <algorithm>

namespace suite {

namespace {

Json stateEvent(const char* state) {
    return Json{{"type", "autoUpdate"}, {"state", state}};
}

Json idsEvent(const char* state, const std::vector<std::string>& ids) {
    Json event = stateEvent(state);
    event["ids"] = ids;
    return event;
}

}  // namespace

AutoUpdate::AutoUpdate(AutoUpdateServices services, Send send, std::function<bool()> windowShown)
    : services_(services), send_(std::move(send)), windowShown_(std::move(windowShown)) {}

void AutoUpdate::start(InstallRequest request) {
    InstallFlow& flow = services_.flow;
    auto& items = request.items;
    if (items.empty()) return;
    if (flow.busy()) {
        flow.log("automatic update: another install is under way; tried again at the next check");
        return;
    }
    // A download on a metered network costs the user money; one in power-saver mode, battery.
    const char* reason = services_.conditions.networkMetered() ? "metered"
                         : services_.conditions.powerSaver()   ? "powerSaver"
                                                               : nullptr;
    if (reason != nullptr) {
        flow.log(std::string("automatic update: nothing downloaded (") + reason + ")");
        Json event = stateEvent("waiting");
        event["reason"] = reason;
        return send_(event);
    }
    const auto restoredAwayFrom = flow.restoredAwayFrom();
    std::erase_if(items, [&](const InstallItem& item) {
        // The user went back from this version on purpose; only a newer one goes in by itself.
        const auto left = restoredAwayFrom.find(item.id);
        if (left != restoredAwayFrom.end() && left->second == item.version) {
            flow.log("automatic update: " + item.id + " " + item.version +
                     " was restored away from");
            return true;
        }
        const auto open = flow.openExecutables(item);
        if (open.empty()) return false;
        flow.log("automatic update: " + item.id + " is left while " + open.front() + " runs");
        return true;
    });
    // The new version of this program starts once the rest is in.
    std::stable_partition(items.begin(), items.end(),
                          [](const InstallItem& item) { return !item.self; });
    if (items.empty()) return;
    flow.prepare(std::move(request), lifetime_.guard<std::vector<InstallItem>>(
                                         [this](auto items) { prepared(std::move(items)); }));
}

void AutoUpdate::prepared(std::vector<InstallItem> items) {
    if (items.empty()) return;
    std::vector<std::string> ids;
    for (const auto& item : items) ids.push_back(item.id);
    onBackground<bool>(
        services_.background, services_.queue,
        [&conditions = services_.conditions] { return conditions.installsWithoutPassword(); },
        lifetime_.guard<bool>([this, items = std::move(items), ids](bool withoutPassword) {
            InstallFlow& flow = services_.flow;
            // The user may have started an install meanwhile; the prepared files wait for the
            // next click then.
            if (!withoutPassword || flow.busy()) return send_(idsEvent("ready", ids));
            flow.log("automatic update: installing without a prompt, as polkit allows");
            send_(idsEvent("installing", ids));
            flow.install(InstallRequest{.items = items});
            flow.relaunchOnlyWhileHidden(windowShown_);
        }));
}

}  // namespace suite
