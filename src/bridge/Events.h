#pragma once
// Events for the page: the "init" reply and the script that hands an event to the page.
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite::bridge {

struct InitValues {
    std::string platform;
    std::string version;
    std::string packages;  // the package kind this host installs: "deb", "pkg", or "" for none
    std::string vendorHost;  // catalogs and packages come from it or a name under it
    bool demo = false;
    Json settings;  // an object; empty means never saved
    std::vector<std::string> preferredLanguages;
    bool osDark = false;
    bool reduceMotion = false;
};

Json initEvent(const InitValues& values);

// The JavaScript that delivers `event` to the page's `Suite.receive`, or nothing when the event
// cannot travel as JSON. A page without `Suite` yet simply loses the event.
std::optional<std::string> eventScript(const Json& event);

}  // namespace suite::bridge
