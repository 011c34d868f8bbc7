#include "bridge/Actions.h"

#include <cmath>

namespace suite::bridge {

std::optional<Action> decodeAction(const Json& body, bool isDemo, const DownloadRules& downloads) {
    auto type = stringMember(body, "type");
    if (!type) return std::nullopt;
    const std::string& t = *type;

    if (t == "ready") return Ready{};
    if (t == "fetchCatalog") return FetchCatalog{stringListMember(body, "urls")};
    if (t == "scan") return Scan{objectListMember(body, "apps")};
    if (t == "install") {
        if (isDemo) return std::nullopt;
        return Install{decodeInstallRequest(objectListMember(body, "items"), downloads)};
    }
    if (t == "cancel") {
        // The demo's installs are the page's own; so are their cancellations.
        if (isDemo) return std::nullopt;
        const auto id = body.find("id");
        return Cancel{id == body.end() ? std::nullopt : std::optional<Json>(*id)};
    }
    if (t == "stopWaiting") {
        // A showcase hands nothing to an installer.
        auto id = stringMember(body, "id");
        if (isDemo || !id) return std::nullopt;
        return StopWaiting{*id};
    }
    if (t == "open") {
        if (isDemo) return std::nullopt;
        return Open{objectMemberOrEmpty(body, "detect")};
    }
    if (t == "link") {
        auto url = stringMember(body, "url");
        if (!url) return std::nullopt;
        return Link{*url};
    }
    if (t == "save") {
        // A showcase keeps the change in memory only (see AppDelegate::saveSettings).
        auto settings = body.find("settings");
        if (settings == body.end() || !settings->is_object()) return std::nullopt;
        return Save{*settings};
    }
    if (t == "notify") {
        if (isDemo) return std::nullopt;
        return Notify{body};
    }
    if (t == "setLoginItem") {
        if (isDemo) return std::nullopt;
        return SetLoginItem{boolMember(body, "on").value_or(false)};
    }
    if (t == "pickFiles") return PickFiles{};
    if (t == "sendFeedback") {
        if (isDemo) return std::nullopt;
        return SendFeedback{body};
    }
    if (t == "openLog") {
        if (isDemo) return std::nullopt;
        return OpenLog{};
    }
    if (t == "wakeAt") {
        // A showcase keeps its page; it has nothing to wake for.
        if (isDemo) return std::nullopt;
        const auto at = body.find("at");
        if (at != body.end() && at->is_null()) return WakeAt{};
        if (at == body.end() || !at->is_number() || !std::isfinite(at->get<double>()))
            return std::nullopt;
        return WakeAt{at->get<double>()};
    }
    return std::nullopt;
}

}  // namespace suite::bridge
