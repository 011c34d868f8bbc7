#pragma once
// What a user does in the page and what a flow reads back from it and from disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/FlowHarness.h"

namespace suite::flows {

namespace fs = std::filesystem;

// What `property` of the product's row holds ("dataset.state", "innerText"); "" without a row.
inline std::string rowValue(FlowHarness& h, const std::string& id, const std::string& property) {
    Json value = h.eval("document.querySelector('[data-product=\"" + id + "\"]')?." + property);
    return value.is_string() ? value.get<std::string>() : "";
}

inline void installSelected(FlowHarness& h, const std::vector<std::string>& ids) {
    for (const auto& id : ids) {
        ASSERT_TRUE(h.click("[data-product=\"" + id + "\"] [data-select]")) << id;
    }
    ASSERT_TRUE(h.click("[data-action=\"install-selected\"]"));
}

// Waits for one result per id; the results in the order they came.
inline std::vector<Json> waitForResults(FlowHarness& h, std::size_t count, double seconds = 60) {
    gtk::spinUntil([&] { return h.events("result").size() >= count; }, seconds);
    return h.events("result");
}

inline Json resultFor(FlowHarness& h, const std::string& id) {
    auto results = h.events("result", id);
    return results.empty() ? Json::object() : results.back();
}

inline std::vector<std::string> phases(FlowHarness& h, const std::string& id) {
    std::vector<std::string> out;
    for (const auto& event : h.events("progress", id)) {
        const auto phase = event.value("phase", "");
        if (out.empty() || out.back() != phase) out.push_back(phase);
    }
    return out;
}

inline std::vector<std::string> packagesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The program's own Debian package as `cpack -G DEB` made it for this test run; empty when
// there is none.
inline fs::path ownDebianPackage() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(SUITE_PACKAGES_DIR, error)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("talven-suite_") && name.ends_with(".deb")) return entry.path();
    }
    return {};
}

// One service for the flows that need it running; started by the first of them.
inline VendorService& sharedVendor() {
    static fakes::TempDir dir;
    static VendorService service(dir / "vendor", {.suiteDeb = ownDebianPackage()});
    return service;
}

}  // namespace suite::flows
