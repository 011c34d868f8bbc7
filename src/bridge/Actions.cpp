#include "bridge/Actions.h"

#include <cmath>
#include <string_view>

namespace suite::bridge {

namespace {

using Decoded = std::optional<Action>;

struct ActionKind {
    std::string_view type;
    // Whether a showcase acts on it at all. It installs, opens, notifies, sends and wakes for
    // nothing: its installs are the page's own (so are their cancellations), it hands nothing to
    // an installer, and it keeps its page.
    bool inDemo;
    Decoded (*decode)(const Json& body, const DownloadRules& downloads);
};

constexpr ActionKind kActions[] = {
    {"ready", true, [](const Json&, const DownloadRules&) -> Decoded { return Ready{}; }},
    {"fetchCatalog", true,
     [](const Json& body, const DownloadRules&) -> Decoded {
         return FetchCatalog{stringListMember(body, "urls")};
     }},
    {"scan", true,
     [](const Json& body, const DownloadRules&) -> Decoded {
         return Scan{objectListMember(body, "apps")};
     }},
    {"install", false,
     [](const Json& body, const DownloadRules& downloads) -> Decoded {
         auto request = decodeInstallRequest(objectListMember(body, "items"), downloads);
         // "Update anyway": the user knows the product is open.
         if (boolMember(body, "anyway") == true) {
             for (auto& item : request.items) item.processes.clear();
         }
         return Install{std::move(request)};
     }},
    {"autoUpdate", false,
     [](const Json& body, const DownloadRules& downloads) -> Decoded {
         return AutoUpdate{decodeInstallRequest(objectListMember(body, "items"), downloads)};
     }},
    {"cancel", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         const auto id = body.find("id");
         return Cancel{id == body.end() ? std::nullopt : std::optional<Json>(*id)};
     }},
    {"stopWaiting", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         auto id = stringMember(body, "id");
         if (!id) return std::nullopt;
         return StopWaiting{*id};
     }},
    {"open", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         return Open{objectMemberOrEmpty(body, "detect")};
     }},
    {"link", true,
     [](const Json& body, const DownloadRules&) -> Decoded {
         auto url = stringMember(body, "url");
         if (!url) return std::nullopt;
         return Link{*url};
     }},
    // A showcase keeps the change in memory only (see AppDelegate::saveSettings).
    {"save", true,
     [](const Json& body, const DownloadRules&) -> Decoded {
         auto settings = body.find("settings");
         if (settings == body.end() || !settings->is_object()) return std::nullopt;
         return Save{*settings};
     }},
    {"notify", false,
     [](const Json& body, const DownloadRules&) -> Decoded { return Notify{body}; }},
    {"setLoginItem", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         return SetLoginItem{boolMember(body, "on").value_or(false)};
     }},
    {"pickFiles", true, [](const Json&, const DownloadRules&) -> Decoded { return PickFiles{}; }},
    {"sendFeedback", false,
     [](const Json& body, const DownloadRules&) -> Decoded { return SendFeedback{body}; }},
    {"openLog", false, [](const Json&, const DownloadRules&) -> Decoded { return OpenLog{}; }},
    {"history", true, [](const Json&, const DownloadRules&) -> Decoded { return History{}; }},
    {"restore", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         auto id = stringMember(body, "id");
         if (!id) return std::nullopt;
         return Restore{*id};
     }},
    {"wakeAt", false,
     [](const Json& body, const DownloadRules&) -> Decoded {
         const auto at = body.find("at");
         if (at != body.end() && at->is_null()) return WakeAt{};
         if (at == body.end() || !at->is_number() || !std::isfinite(at->get<double>()))
             return std::nullopt;
         return WakeAt{at->get<double>()};
     }},
};

}  // namespace

std::optional<Action> decodeAction(const Json& body, bool isDemo, const DownloadRules& downloads) {
    auto type = stringMember(body, "type");
    if (!type) return std::nullopt;
    for (const ActionKind& kind : kActions) {
        if (kind.type != *type) continue;
        if (isDemo && !kind.inDemo) return std::nullopt;
        return kind.decode(body, downloads);
    }
    return std::nullopt;
}

}  // namespace suite::bridge
