#pragma once
// A product the page asked to install, read once from the page's catalog item: everything the
// queue, the download, the privileged run and the hand-off need, already held to the rules. An
// item that could not be read this way is refused before anything is contacted.
#include <cstdint>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite {

struct InstallItem {
    std::string id{};
    std::string group{};  // "app" for applications; the macOS run moves their old bundles aside
    // The catalog's address first, then the mirrors that are the vendor's, in catalog order.
    std::vector<std::string> urls{};
    std::string file{};            // a bare name: it stays inside the download folder
    std::uint64_t size = 0;        // bounds the download
    std::string sha256{};          // 64 lower-case hex digits
    std::string version{};         // the catalog version; empty when it gave none
    bool self = false;             // this program's own package: it installs last, then relaunches
    Json detect = Json::object();  // how the host finds the product installed
    // The product's executables (absolute paths): while one runs, the item is held back unless
    // the user chose to install anyway, which empties this list.
    std::vector<std::string> processes{};
};

// The items of one "install" request, in order, and the ids ("" for none) of those that could
// not be read: each of those is refused. `notes` are lines for the install log about what was
// left out of the items that were read (a mirror that is not the vendor's).
struct InstallRequest {
    std::vector<InstallItem> items{};
    std::vector<std::string> refused{};
    std::vector<std::string> notes{};
};

// The item as the host's detection reads catalog items (the scan reads the page's own): its
// "id", "group", "detect" and "version".
inline Json detectionOf(const InstallItem& item) {
    return {
        {"id", item.id}, {"group", item.group}, {"detect", item.detect}, {"version", item.version}};
}

}  // namespace suite
