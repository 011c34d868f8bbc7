#include "flows/FlowHarness.h"

#include "backends/debian/DebianPackageSystem.h"
#include "backends/rpm/RpmPackageSystem.h"
#include "catalog/KeptCatalog.h"
#include "fakes/LinuxConfig.h"
#include "fakes/TestFiles.h"

#include <fstream>
#include <memory>

namespace suite::flows {

namespace fs = std::filesystem;

FlowHarness::FlowHarness(VendorService& vendor, FlowSetup setup)
    : vendor_(&vendor), setup_(setup), launch_(fakes::launchIn(dir_.path())) {
    launch_.appVersion = setup_.appVersion;
    // The page follows the settings' language, so what it shows does not depend on the machine.
    std::ofstream(launch_.supportDir / "settings.json") << setup_.settings;
    registerSystemInstaller();
}

FlowHarness::~FlowHarness() {
    stop();
}

void FlowHarness::stop() {
    app_.reset();
    // Let the window's last idle work run before the next test builds its own.
    gtk::spinFor(0.05);
}

// GIO looks for the package handler in the user's data and config folders, which the test runner
// points at a scratch folder. The handler's desktop entry stays the same for the whole run (GIO
// reads it once); what it does is whatever the running test last set.
void FlowHarness::registerSystemInstaller() {
    const fs::path data = g_get_user_data_dir(), config = g_get_user_config_dir();
    const fs::path tools = data / "talven-flow-tools";
    fs::create_directories(tools);
    fs::create_directories(data / "applications");
    setDebInstaller("exit 0");
    fakes::writeScript(tools / "system-installer",
                       "/bin/sleep 0.3\nexec '" + (tools / "current-deb").string() + "' \"$1\"\n");
    if (!fs::exists(data / "applications" / "talven-test-installer.desktop")) {
        std::ofstream(data / "applications" / "talven-test-installer.desktop")
            << "[Desktop Entry]\nType=Application\nName=Test Installer\nExec=" +
                   (tools / "system-installer").string() +
                   " %f\nMimeType=application/vnd.debian.binary-package;application/x-rpm;\n"
                   "NoDisplay=true\n";
        std::ofstream(config / "mimeapps.list")
            << "[Default Applications]\n"
               "application/vnd.debian.binary-package=talven-test-installer.desktop\n"
               "application/x-rpm=talven-test-installer.desktop\n";
    }
}

void FlowHarness::setDebInstaller(const std::string& commands) {
    fakes::writeScript(fs::path(g_get_user_data_dir()) / "talven-flow-tools" / "current-deb",
                       commands + "\n");
}

void FlowHarness::restart(VendorService& vendor) {
    vendor_ = &vendor;
    restart(true, true);
}

void FlowHarness::restart(bool vendorReachable, bool showsList) {
    stop();
    vendorReachable_ = vendorReachable;
    start(showsList);
}

void FlowHarness::start(bool showsList) {
    CurlClientOptions options;
    options.caFile = vendor_->caFile();
    options.connectTo = {"::127.0.0.1:" + std::to_string(vendorReachable_ ? vendor_->port() : 1)};
    const std::string catalog = (launch_.logDir / kKeptCatalogFileName).string();
    const std::string signature = (launch_.logDir / kKeptSignatureFileName).string();
    if (setup_.packages == "deb") {
        packages_ = std::make_unique<debian::DebianPackageSystem>(
            debian::DebianPaths{.helper = SUITE_INSTALL_HELPER,
                                .restoreHelper = SUITE_RESTORE_HELPER,
                                .catalog = catalog,
                                .signature = signature});
    } else if (setup_.packages == "rpm") {
        packages_ = std::make_unique<rpm::RpmPackageSystem>(
            rpm::RpmPaths{.helper = SUITE_INSTALL_HELPER,
                          .restoreHelper = SUITE_RESTORE_HELPER,
                          .catalog = catalog,
                          .signature = signature});
    }
    app_ = std::make_unique<gtk::HostApp>(
        gApp, launch_,
        [&](AppConfig& config) {
            config.downloadRetryDelays = setup_.downloadRetryDelays;
            config.ownExecutable = setup_.ownExecutable;
            if (!setup_.policy.empty()) {
                std::ofstream(dir_ / "policy.json") << setup_.policy;
                config.policyFile = dir_ / "policy.json";
            }
        },
        options, packages_.get(), setup_.conditions);
    if (!waitFor("typeof window.Suite === 'object' && typeof Suite.receive === 'function'", 20))
        throw std::runtime_error("the page never defined Suite");
    // Every event the page receives is kept, so a flow can check the order they came in. The
    // page's own Suite object is frozen; the global name is not, so a recorder stands in front.
    eval(
        "(() => { if (window.__seen) return true; window.__seen = []; const page = window.Suite; "
        "window.Suite = Object.freeze({ ...page, receive(e) { window.__seen.push(e); "
        "return page.receive(e); } }); return true; })()");
    if (!waitFor(showsList ? "document.querySelectorAll('[data-product][data-state]').length > 0"
                           : "Suite.snapshot().check.lastAt !== null",
                 40))
        throw std::runtime_error("the page never showed the catalog");
}

std::vector<Json> FlowHarness::events() {
    Json seen = eval("window.__seen || []");
    return seen.is_array() ? seen.get<std::vector<Json>>() : std::vector<Json>{};
}

std::vector<Json> FlowHarness::events(const std::string& type, const std::string& id) {
    std::vector<Json> out;
    for (auto& event : events()) {
        if (event.value("type", "") == type && (id.empty() || event.value("id", "") == id))
            out.push_back(event);
    }
    return out;
}

bool FlowHarness::click(const std::string& selector) {
    Json found = eval("(() => { const e = document.querySelector(" + Json(selector).dump() +
                      "); if (!e) return false; e.click(); return true; })()");
    return found == true;
}

}  // namespace suite::flows
