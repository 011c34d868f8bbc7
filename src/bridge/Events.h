#pragma once
// Every event the native side sends the page, each built by one function here so it has one
// shape wherever it is sent, and the script that hands an event to the page.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"
#include "download/FailureReason.h"

namespace suite::bridge {

// The page's word for why a transfer or download failed: "offline", "dns", "tls", "timeout",
// "http-NNN", "redirect", "space", "refused", "size", "cancelled", "other" or "digest".
std::string reasonWord(const TransferFailure& failure);

struct InitValues {
    std::string platform;
    std::string version;
    std::string packages;    // the package kind this host installs: "deb", "pkg", or "" for none
    std::string arch;        // the architecture of those packages ("amd64"), "" where none
    std::string vendorHost;  // catalogs and packages come from it or a name under it
    bool demo = false;
    Json settings;  // an object; empty means never saved
    std::vector<std::string> preferredLanguages;
    bool osDark = false;
    bool reduceMotion = false;
    Json kept;  // the kept catalog, {"text", "at"}, verified again; null when there is none
    Json policy = nullptr;  // the administrator's: {"settings", "by"}; null when there is none
    double catalogSecondsPerAddress = 0;  // longest a check may take for each address it tries
};

Json initEvent(const InitValues& values);

// {"type": "catalog", "ok": true, "url", "text"}: a document that passed the native checks.
Json catalogEvent(const std::string& url, const std::string& text);
// {"type": "catalog", "ok": false, "offline"}, with "reason" when there is one.
Json catalogFailedEvent(bool offline, const std::string& reason);
// {"type": "scanned", "installed": {id: version}}
Json scannedEvent(Json installed);

// {"type": "progress", "id", "phase", "pct"}
Json progressEvent(const std::string& id, const std::string& phase, Json pct = 100);
// A download's progress that goes on from kept bytes: "resumedAt" is where it went on from.
Json resumedEvent(const std::string& id, double pct);
// {"type": "result", "id", "ok": true, "version": the item's "version" as it is, or ""}
Json successEvent(const std::string& id, const std::string& version);
// {"type": "result", "id", "ok": false, "error"}, with "reason" when one is given, and with it
// "detail" (what is missing or in the way, or the installer's own line) when one is given.
// The "error" is where the item stopped: "download", "check", "install" or "cancelled".
enum class FailedAt { Download, Check, Install, Cancelled };
inline constexpr std::size_t kMaxDetailBytes = 300;
Json failureEvent(const std::string& id, FailedAt at, const std::string& reason = {},
                  const std::string& detail = {});
// The same with a transfer's failure (or a cancellation) as its reason, written as the page's word.
Json failureEvent(const std::string& id, FailedAt at, const TransferFailure& reason);
// {"type": "result", "id", "ok": false, "error": "running"}: held back, nothing downloaded, since
// the product is open; the page offers to try again or to install anyway.
Json runningEvent(const std::string& id);

// {"type": "appearance", "osDark", "reduceMotion"}
Json appearanceEvent(bool osDark, bool reduceMotion);
// {"type": "checkNow"}: the user asked for a check outside the page (the menu).
Json checkNowEvent();
// {"type": "notifAction", "action"}: the answer to an update notification.
Json notifActionEvent(const std::string& action);

// {"type": "picked", "files": [attachment records]}
Json pickedEvent(Json files);
// {"type": "feedbackProgress", "pct"}
Json feedbackProgressEvent(double pct);
// {"type": "feedbackResult", "ok", "error"}
Json feedbackResultEvent(bool ok, const std::string& error);

// What every script that delivers an event starts with; the event's JSON and ")" follow.
inline constexpr std::string_view kEventScriptPrefix = "window.Suite && Suite.receive(";

// The JavaScript that delivers `event` to the page's `Suite.receive`, or nothing when the event
// cannot travel as JSON. A page without `Suite` yet simply loses the event.
std::optional<std::string> eventScript(const Json& event);

}  // namespace suite::bridge
