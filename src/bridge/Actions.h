#pragma once
// The actions the page posts, read from their untyped JSON bodies with the fallbacks the bridge
// promises, in the order the dispatcher tests them.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/Json.h"
#include "download/InstallItems.h"

namespace suite::bridge {

struct Ready {};
struct FetchCatalog {
    std::vector<std::string> urls;
};
struct Scan {
    std::vector<Json> apps;
};
struct Install {
    InstallRequest request;
};
// The updates an automatic check found, to take care of as the "autoInstall" setting allows.
struct AutoUpdate {
    InstallRequest request;
};
// Without an "id": every item not yet being installed. The "id" travels as it came, so one that
// is not text can be refused where it is logged.
struct Cancel {
    std::optional<Json> id;
};
// The user no longer waits for the desktop's installer to install the item `id`.
struct StopWaiting {
    std::string id;
};
struct Open {
    Json detect;
};
struct Link {
    std::string url;
};
struct Save {
    Json settings;
};
struct Notify {
    Json body;
};
struct SetLoginItem {
    bool on = false;
};
struct PickFiles {};
struct SendFeedback {
    Json body;
};
struct OpenLog {};
// The install history, newest first.
struct History {};
// Put back the package the product's installed version replaced.
struct Restore {
    std::string id;
};
// The page's next automatic check, in milliseconds since 1970; nothing when it has none.
struct WakeAt {
    std::optional<double> at;
};

using Action = std::variant<Ready, FetchCatalog, Scan, Install, AutoUpdate, Cancel, StopWaiting,
                            Open, Link, Save, Notify, SetLoginItem, PickFiles, SendFeedback,
                            OpenLog, WakeAt, History, Restore>;

// The action `body` asks for, or nothing when the body is not an object with a string "type",
// names no action, lacks a required member, or names an action that demo mode ignores. The items
// of an "install" are read under `downloads`.
std::optional<Action> decodeAction(const Json& body, bool isDemo,
                                   const DownloadRules& downloads = {});

}  // namespace suite::bridge
