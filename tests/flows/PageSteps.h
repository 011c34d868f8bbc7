#pragma once
// What a user does in the page and what a flow reads back from it and from disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/FlowHarness.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace suite::flows {

namespace fs = std::filesystem;

// dpkg's "${Status} ${Version}" of `package` ("" for none) once it is `expected`, or as it is after
// 10 s. A result comes as dpkg reports the package in; dpkg writes the database other readers
// see as its run ends, a little later.
inline std::string dpkgStatus(const std::string& package, const std::string& expected) {
    std::string seen;
    gtk::spinUntil(
        [&] {
            auto run =
                runProcess("/usr/bin/dpkg-query", {"-W", "-f", "${Status} ${Version}", package});
            seen = run && run->exitStatus == 0 ? run->standardOutput : "";
            return seen == expected;
        },
        10);
    return seen;
}

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

inline Json success(const std::string& id, const std::string& version) {
    return {{"type", "result"}, {"id", id}, {"ok", true}, {"version", version}};
}

inline std::string logText(FlowHarness& h) {
    return readWholeFile(h.installLog()).value_or("");
}

// Whether the waiting shell that starts `program` once this process has gone came within a
// minute (the result comes as the package is in; the relaunch once the run has ended). It is
// ended here: no new program in a sandbox about to vanish.
inline bool relaunched(const std::string& program) {
    const std::string wanted = "/bin/kill -0 " + std::to_string(::getpid()) + " ";
    pid_t shell = 0;
    gtk::spinUntil(
        [&] {
            for (const auto& entry : fs::directory_iterator("/proc")) {
                auto cmdline = readWholeFile(entry.path() / "cmdline");
                if (cmdline && cmdline->find(wanted) != std::string::npos &&
                    cmdline->ends_with(program + '\0')) {
                    shell = std::stoi(entry.path().filename());
                    return true;
                }
            }
            return false;
        },
        60);
    if (shell > 0) ::kill(shell, SIGKILL);
    return shell > 0;
}

// The program, 0.9.0 and installed where its own package puts it, updates itself from the page to
// its own package of `kind` ("deb", "rpm") as cpack made it: the update is the last install, and
// the new program is started once this one has gone. The result the page got, or an empty object
// when the page offered no update.
inline Json updateItself(VendorService& service, const std::string& kind,
                         const std::string& version) {
    FlowSetup setup{.packages = kind};
    setup.appVersion = "0.9.0";
    setup.ownExecutable = "/usr/bin/talven-suite";
    FlowHarness h(service, setup);
    h.start();
    if (rowValue(h, "talven.suite", "dataset.state") != "update") return Json::object();
    installSelected(h, {"talven.suite"});
    waitForResults(h, 1, 180);
    EXPECT_EQ(resultFor(h, "talven.suite"), success("talven.suite", version)) << logText(h);
    EXPECT_TRUE(relaunched("/usr/bin/talven-suite")) << "no relaunch of the installed program";
    return resultFor(h, "talven.suite");
}

inline std::vector<std::string> packagesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The program's own package as `cpack -G DEB` ("talven-suite_", ".deb") or `cpack -G RPM`
// ("talven-suite-", ".rpm") made it for this test run; empty when there is none.
inline fs::path ownPackage(const std::string& prefix, const std::string& suffix) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(SUITE_PACKAGES_DIR, error)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(suffix)) return entry.path();
    }
    return {};
}
inline fs::path ownDebianPackage() {
    return ownPackage("talven-suite_", ".deb");
}
inline fs::path ownRpmPackage() {
    return ownPackage("talven-suite-", ".rpm");
}

// One service for the flows that need it running; started by the first of them.
inline VendorService& sharedVendor() {
    static fakes::TempDir dir;
    static VendorService service(dir / "vendor",
                                 {.suiteDeb = ownDebianPackage(), .suiteRpm = ownRpmPackage()});
    return service;
}

}  // namespace suite::flows
