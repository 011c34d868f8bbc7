#include "bridge/Events.h"

namespace suite::bridge {

Json initEvent(const InitValues& values) {
    Json event = Json::object();
    event["type"] = "init";
    event["platform"] = values.platform;
    event["version"] = values.version;
    event["demo"] = values.demo;
    event["packages"] = values.packages;
    event["vendorHost"] = values.vendorHost;
    bool hasSettings = values.settings.is_object() && !values.settings.empty();
    event["settings"] = hasSettings ? values.settings : Json(nullptr);
    event["osLang"] = values.preferredLanguages.empty() ? std::string("en")
                                                        : values.preferredLanguages.front();
    event["osDark"] = values.osDark;
    event["reduceMotion"] = values.reduceMotion;
    return event;
}

std::optional<std::string> eventScript(const Json& event) {
    auto text = compactJson(event);
    if (!text) return std::nullopt;
    return "window.Suite && Suite.receive(" + *text + ")";
}

}  // namespace suite::bridge
