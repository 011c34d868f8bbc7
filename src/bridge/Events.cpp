#include "bridge/Events.h"

#include <algorithm>

namespace suite::bridge {

std::string reasonWord(const TransferFailure& failure) {
    using Kind = TransferFailure::Kind;
    switch (failure.kind) {
        case Kind::Offline:
            return "offline";
        case Kind::Dns:
            return "dns";
        case Kind::Tls:
            return "tls";
        case Kind::Timeout:
            return "timeout";
        case Kind::Http:
            return "http-" + std::to_string(failure.httpStatus);
        case Kind::Redirect:
            return "redirect";
        case Kind::Space:
            return "space";
        case Kind::Refused:
            return "refused";
        case Kind::Size:
            return "size";
        case Kind::Cancelled:
            return "cancelled";
        case Kind::Other:
            break;
        case Kind::Digest:
            return "digest";
    }
    return "other";
}

Json initEvent(const InitValues& values) {
    Json event = Json::object();
    event["type"] = "init";
    event["platform"] = values.platform;
    event["version"] = values.version;
    event["demo"] = values.demo;
    event["packages"] = values.packages;
    event["arch"] = values.arch;
    event["vendorHost"] = values.vendorHost;
    bool hasSettings = values.settings.is_object() && !values.settings.empty();
    event["settings"] = hasSettings ? values.settings : Json(nullptr);
    event["osLang"] =
        values.preferredLanguages.empty() ? std::string("en") : values.preferredLanguages.front();
    event["osDark"] = values.osDark;
    event["reduceMotion"] = values.reduceMotion;
    event["kept"] = values.kept.is_object() ? values.kept : Json(nullptr);
    event["catalogSecondsPerAddress"] = values.catalogSecondsPerAddress;
    event["policy"] = values.policy.is_object() ? values.policy : Json(nullptr);
    return event;
}

Json catalogEvent(const std::string& url, const std::string& text) {
    return {{"type", "catalog"}, {"ok", true}, {"url", url}, {"text", text}};
}

Json catalogFailedEvent(bool offline, const std::string& reason) {
    Json event = {{"type", "catalog"}, {"ok", false}, {"offline", offline}};
    if (!reason.empty()) event["reason"] = reason;
    return event;
}

Json scannedEvent(Json installed) {
    return {{"type", "scanned"}, {"installed", std::move(installed)}};
}

Json progressEvent(const std::string& id, const std::string& phase, Json pct) {
    return {{"type", "progress"}, {"id", id}, {"phase", phase}, {"pct", std::move(pct)}};
}

Json resumedEvent(const std::string& id, double pct) {
    Json event = progressEvent(id, "download", pct);
    event["resumedAt"] = pct;
    return event;
}

Json successEvent(const std::string& id, const std::string& version) {
    return {{"type", "result"}, {"id", id}, {"ok", true}, {"version", version}};
}

Json failureEvent(const std::string& id, FailedAt at, const std::string& reason,
                  const std::string& detail) {
    const char* error = "install";
    switch (at) {
        case FailedAt::Download:
            error = "download";
            break;
        case FailedAt::Check:
            error = "check";
            break;
        case FailedAt::Install:
            break;
        case FailedAt::Cancelled:
            error = "cancelled";
            break;
    }
    Json event = {{"type", "result"}, {"id", id}, {"ok", false}, {"error", error}};
    if (!reason.empty()) event["reason"] = reason;
    if (!reason.empty() && !detail.empty()) {
        // A tool's line can be long; the page shows a sentence, the install log keeps the rest.
        // Cut where no UTF-8 character is split.
        std::size_t cut = std::min<std::size_t>(detail.size(), kMaxDetailBytes);
        while (cut < detail.size() && cut > 0 && (detail[cut] & 0xC0) == 0x80) --cut;
        event["detail"] = detail.substr(0, cut);
    }
    return event;
}

Json failureEvent(const std::string& id, FailedAt at, const TransferFailure& reason) {
    return failureEvent(id, at, reasonWord(reason));
}

Json runningEvent(const std::string& id) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", "running"}};
}

Json appearanceEvent(bool osDark, bool reduceMotion) {
    return {{"type", "appearance"}, {"osDark", osDark}, {"reduceMotion", reduceMotion}};
}

Json checkNowEvent() {
    return {{"type", "checkNow"}};
}

Json notifActionEvent(const std::string& action) {
    return {{"type", "notifAction"}, {"action", action}};
}

Json pickedEvent(Json files) {
    return {{"type", "picked"}, {"files", std::move(files)}};
}

Json feedbackProgressEvent(double pct) {
    return {{"type", "feedbackProgress"}, {"pct", pct}};
}

Json feedbackResultEvent(bool ok, const std::string& error) {
    return {{"type", "feedbackResult"}, {"ok", ok}, {"error", error}};
}

std::optional<std::string> eventScript(const Json& event) {
    auto text = compactJson(event);
    if (!text) return std::nullopt;
    return std::string(kEventScriptPrefix) + *text + ")";
}

}  // namespace suite::bridge
