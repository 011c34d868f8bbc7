#pragma once
// The whole program in this process, as a user meets it: the real GTK window and WebKitGTK page
// from web/, the real HTTP client, files in a fresh folder. The vendor's host names lead to the
// local vendor service. Packages install one of two ways:
// - macOS installer packages: the administrator's script runs with /bin/sh as the current user
//   against fake macOS tools (an `installer` that "installs" the bundle or receipt named in the
//   package, `pkgutil`, `pkill`);
// - Debian packages, for real: this host's backend with the real pkexec, install helper,
//   apt-get and dpkg, inside tests/sandbox.sh.
// Hand-offs go to a stand-in desktop installer registered with GIO for both kinds of package.
#include <gtk/gtk.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "common/Json.h"
#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/debian/DebianPackageSystem.h"
#include "platform/gtk/GtkMainWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/UserEnvironment.h"
#include "platform/macos/MacPackageSystem.h"

namespace suite::flows {

extern GtkApplication* gApp;

// Runs the administrator's script as the current user; the test may play a dismissed prompt.
class ShellScriptRunner final : public PrivilegedRunner {
  public:
    PrivilegedOutcome run(const std::string& script, const std::string& prompt) override;
    std::atomic<bool> dismissPrompt{false};
    std::atomic<int> runs{0};
};

struct FlowSetup {
    double downloadTimeoutSeconds = 30;
    double catalogTimeoutSeconds = 12;
    // Waits before a download is tried again; the 1, 4 and 16 s schedule is the unit tests' to
    // check on a virtual clock, the flows only need retries to happen.
    std::vector<double> downloadRetryDelays = {0.1, 0.2, 0.4};
    bool debian = false;                       // Debian packages for real, not the macOS stand-ins
    std::string pkexec = "/usr/bin/pkexec";    // Debian only
    std::string appVersion = "3.1.0";          // the running program's
    std::filesystem::path ownExecutable = {};  // what a relaunch starts; empty: a marker script
};

class FlowHarness {
  public:
    FlowHarness(VendorService& vendor, FlowSetup setup = {});
    ~FlowHarness();

    // What is installed before the program starts.
    void installApp(const std::string& bundle, const std::string& version);
    void installReceipt(const std::string& id, const std::string& version);
    std::string installedAppVersion(const std::string& bundle) const;
    // What the stand-in desktop installer does with a Debian package ($1), as shell commands.
    void setDebInstaller(const std::string& commands);

    // Starts the program and waits until the page has shown the scanned catalog (or only until
    // the page is up).
    void start(bool waitForCatalog = true);

    // The page's value of `expression` (JSON null when it has none or the page did not answer
    // within `seconds`; a later answer goes nowhere).
    Json eval(const std::string& expression, double seconds = 10);
    // Turns the main loop until `expression` is true in the page, at most `seconds`.
    bool waitFor(const std::string& expression, double seconds = 20);
    // Turns the main loop until `done` holds, at most `seconds`.
    bool turnUntil(const std::function<bool()>& done, double seconds);
    // The events the page received since it started, in order.
    std::vector<Json> events();
    std::vector<Json> events(const std::string& type, const std::string& id = "");
    // Clicks the element `selector` finds (false when there is none).
    bool click(const std::string& selector);

    AppDelegate& delegate() { return *delegate_; }
    VendorService& vendor() { return vendor_; }
    ShellScriptRunner& runner() { return runner_; }

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path apps() const { return dir_ / "Applications"; }
    std::filesystem::path downloads() const { return launch_.cacheDir; }
    std::filesystem::path installLog() const { return launch_.logDir / "install.log"; }
    std::filesystem::path relaunchMarker() const { return dir_ / "relaunched"; }

  private:
    void writeTools();
    void registerSystemInstaller();

    VendorService& vendor_;
    FlowSetup setup_;
    fakes::TempDir dir_;
    LaunchValues launch_;
    gtk::ProcessEnvironment env_;
    ShellScriptRunner runner_;
    std::unique_ptr<PackageSystem> packages_;
    std::unique_ptr<gtk::GtkPlatform> platform_;
    std::unique_ptr<CurlHttpClient> http_;
    std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace suite::flows
