#include "flows/FlowHarness.h"

#include <chrono>
#include <fstream>
#include <memory>

#include "platform/Files.h"
#include "platform/Process.h"

namespace suite::flows {

namespace fs = std::filesystem;

namespace {

void writeExecutable(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

std::string quoted(const fs::path& path) {
    std::string out = "'";
    for (char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Reads the header line of a test package ($1) into kind, bundle, receipt, version and fail.
const char* kReadPackage = R"(line=$(head -n 1 "$1")
q() { printf '%s\n' "$line" | sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p"; }
kind=$(printf '%s\n' "$line" | sed -n 's/.* kind=\([a-z]*\).*/\1/p')
fail=$(printf '%s\n' "$line" | sed -n 's/.* fail=\([01]\).*/\1/p')
bundle=$(q bundle); receipt=$(q receipt); version=$(q version)
)";

std::string plist(const std::string& key, const std::string& value) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>" + key +
           "</key><string>" + value + "</string></dict></plist>";
}

// The script that installs what the package $1 names into `apps` / `receipts`.
std::string installFromPackage(const fs::path& apps, const fs::path& receipts) {
    return std::string(kReadPackage) +
           "case \"$kind\" in\n"
           "app) mkdir -p " +
           quoted(apps) +
           "/\"$bundle\"/Contents &&\n"
           "  printf '" +
           plist("CFBundleShortVersionString", "%s") + "' \"$version\" > " + quoted(apps) +
           "/\"$bundle\"/Contents/Info.plist ;;\n"
           "addin) printf '%s' \"$version\" > " +
           quoted(receipts) +
           "/\"$receipt\" ;;\n"
           "*) echo \"not a package: $1\" >&2; exit 1 ;;\n"
           "esac\n";
}

}  // namespace

PrivilegedOutcome ShellScriptRunner::run(const std::string& script, const std::string&) {
    ++runs;
    // A dismissed prompt: the script never ran.
    if (dismissPrompt) return PrivilegedOutcome{true, true, "", ""};
    ProcessOptions options;
    options.captureStandardError = true;
    options.timeoutSeconds = 60;
    auto result = runProcess("/bin/sh", {"-c", script}, options);
    if (!result) return {};
    return {true, false, result->standardOutput, result->standardError};
}

FlowHarness::FlowHarness(VendorService& vendor, FlowSetup setup) : vendor_(vendor), setup_(setup) {
    for (const char* folder : {"Applications", "receipts", "tools", "tmp", "home", "support",
                               "cache", "logs", "autostart"}) {
        fs::create_directories(dir_ / folder);
    }
    launch_.appVersion = setup_.appVersion;
    launch_.agentPlist = std::string(kAgentPlist);
    launch_.supportDir = dir_ / "support";
    launch_.cacheDir = dir_ / "cache";
    launch_.logDir = dir_ / "logs";
    launch_.autostartDir = dir_ / "autostart";
    // The page follows the settings' language, so what it shows does not depend on the machine.
    std::ofstream(launch_.supportDir / "settings.json") << R"({"lang":"en"})";
    writeTools();
    registerSystemInstaller();
}

FlowHarness::~FlowHarness() {
    delegate_.reset();
    http_.reset();
    platform_.reset();
    // Let the window's last idle work run before the next test builds its own.
    turnUntil([] { return false; }, 0.05);
}

void FlowHarness::writeTools() {
    const fs::path tools = dir_ / "tools";
    // installer -pkg PATH -target /
    writeExecutable(tools / "installer",
                    // As slow as it takes to see the "install" phase before the result.
                    "/bin/sleep 0.5\nset -- \"$2\"\n" + std::string(kReadPackage) +
                        "if [ \"$fail\" = 1 ]; then echo 'installer: the package could not be "
                        "installed' >&2; exit 1; fi\n" +
                        installFromPackage(apps(), dir_ / "receipts") +
                        "echo 'installer: The install was successful.'\n");
    // pkgutil --pkg-info-plist ID
    writeExecutable(tools / "pkgutil", "f=" + quoted(dir_ / "receipts") +
                                           "/\"$2\"\n[ -f \"$f\" ] || exit 1\nprintf '" +
                                           plist("pkg-version", "%s") + "' \"$(cat \"$f\")\"\n");
    writeExecutable(tools / "pkill", "exit 1\n");
    writeExecutable(tools / "sleep", "exit 0\n");
    // shasum -a 256, as a Mac has it: the digest, two blanks, the name.
    writeExecutable(tools / "shasum", "shift 2\nexec /usr/bin/sha256sum \"$@\"\n");
    writeExecutable(dir_ / "relaunch-target", "touch " + quoted(relaunchMarker()) + "\n");
}

// GIO looks for the package handler in the user's data and config folders, which the test runner
// points at a scratch folder. The handler's desktop entry stays the same for the whole run (GIO
// reads it once); it installs into the folders of whichever test is running.
void FlowHarness::registerSystemInstaller() {
    const fs::path data = g_get_user_data_dir(), config = g_get_user_config_dir();
    const fs::path tools = data / "talven-flow-tools";
    fs::create_directories(tools);
    fs::create_directories(data / "applications");
    writeExecutable(tools / "current", installFromPackage(apps(), dir_ / "receipts"));
    setDebInstaller("exit 0");
    writeExecutable(tools / "system-installer",
                    "/bin/sleep 0.3\ncase \"$1\" in *.deb) exec " + quoted(tools / "current-deb") +
                        " \"$1\";; esac\nexec " + quoted(tools / "current") + " \"$1\"\n");
    if (!fs::exists(data / "applications" / "talven-test-installer.desktop")) {
        std::ofstream(data / "applications" / "talven-test-installer.desktop")
            << "[Desktop Entry]\nType=Application\nName=Test Installer\nExec=" +
                   (tools / "system-installer").string() +
                   " %f\nMimeType=application/x-xar;application/vnd.debian.binary-package;\n"
                   "NoDisplay=true\n";
        std::ofstream(config / "mimeapps.list")
            << "[Default Applications]\napplication/x-xar=talven-test-installer.desktop\n"
               "application/vnd.debian.binary-package=talven-test-installer.desktop\n";
    }
}

void FlowHarness::setDebInstaller(const std::string& commands) {
    writeExecutable(fs::path(g_get_user_data_dir()) / "talven-flow-tools" / "current-deb",
                    commands + "\n");
}

void FlowHarness::installApp(const std::string& bundle, const std::string& version) {
    fs::create_directories(apps() / bundle / "Contents");
    std::ofstream(apps() / bundle / "Contents" / "Info.plist")
        << plist("CFBundleShortVersionString", version);
}

void FlowHarness::installReceipt(const std::string& id, const std::string& version) {
    std::ofstream(dir_ / "receipts" / id) << version;
}

std::string FlowHarness::installedAppVersion(const std::string& bundle) const {
    auto text = readWholeFile(apps() / bundle / "Contents" / "Info.plist");
    if (!text) return "";
    auto open = text->find("<string>"), close = text->find("</string>");
    return open == std::string::npos ? "" : text->substr(open + 8, close - open - 8);
}

void FlowHarness::start(bool waitForCatalog) {
    platform_ = std::make_unique<gtk::GtkPlatform>(gApp, "", env_);
    CurlClientOptions options;
    options.caFile = vendor_.caFile();
    options.connectTo = {"::127.0.0.1:" + std::to_string(vendor_.port())};
    http_ = std::make_unique<CurlHttpClient>(platform_->queue, options);

    AppConfig config;
    config.webRoot = fs::path(SUITE_SOURCE_DIR) / "web";
    config.vendorHost = "brenlow.example";
    config.platformName = "linux";
    config.hostTag = "Linux";
    config.catalogTimeoutSeconds = setup_.catalogTimeoutSeconds;
    config.downloadTimeoutSeconds = setup_.downloadTimeoutSeconds;
    config.downloadRetryDelays = setup_.downloadRetryDelays;
    InstallPaths tools;
    tools.installer = (dir_ / "tools" / "installer").string();
    tools.pkill = (dir_ / "tools" / "pkill").string();
    tools.sleep = (dir_ / "tools" / "sleep").string();
    tools.shasum = (dir_ / "tools" / "shasum").string();
    tools.tempFolder = (dir_ / "tmp").string();
    tools.home = (dir_ / "home").string();
    if (setup_.debian) {
        packages_ = std::make_unique<debian::DebianPackageSystem>(
            debian::DebianPaths{.pkexec = setup_.pkexec, .helper = SUITE_INSTALL_HELPER});
    } else {
        packages_ = std::make_unique<MacPackageSystem>(
            DetectPaths{{apps().string()}, (dir_ / "tools" / "pkgutil").string()}, tools, runner_);
    }
    config.ownExecutable =
        setup_.ownExecutable.empty() ? dir_ / "relaunch-target" : setup_.ownExecutable;
    config.deviceDescription = gtk::deviceDescription();
    delegate_ = std::make_unique<AppDelegate>(launch_, config, platform_->with(*http_, *packages_));
    delegate_->applicationDidFinishLaunching();
    // Every event the page receives is kept, so a flow can check the order they came in.
    if (!waitFor("typeof window.Suite === 'object' && typeof Suite.receive === 'function'", 20))
        throw std::runtime_error("the page never defined Suite");
    // Every event the page receives is kept, so a flow can check the order they came in. The
    // page's own Suite object is frozen; the global name is not, so a recorder stands in front.
    eval(
        "(() => { if (window.__seen) return true; window.__seen = []; const page = window.Suite; "
        "window.Suite = Object.freeze({ ...page, receive(e) { window.__seen.push(e); "
        "return page.receive(e); } }); return true; })()");
    if (waitForCatalog &&
        !waitFor("document.querySelectorAll('[data-product][data-state]').length > 0", 40))
        throw std::runtime_error("the page never showed the catalog");
}

bool FlowHarness::turnUntil(const std::function<bool()>& done, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(500);
    }
    return true;
}

Json FlowHarness::eval(const std::string& expression, double seconds) {
    // Shared with the callback, which may still come after this has given up waiting.
    auto result = std::make_shared<std::optional<std::optional<std::string>>>();
    platform_->shell.mainWindow()->gtkWebView().evaluateForResult(
        expression, [result](std::optional<std::string> json) { *result = json; });
    if (!turnUntil([&] { return result->has_value(); }, seconds) || !**result) return nullptr;
    return Json::parse(***result, nullptr, false);
}

bool FlowHarness::waitFor(const std::string& expression, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (eval("!!(" + expression + ")") == true) return true;
        turnUntil([] { return false; }, 0.02);
    }
    return false;
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
