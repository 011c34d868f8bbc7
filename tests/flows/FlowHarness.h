#pragma once
// The whole program in this process, as a user meets it: the real GTK window and WebKitGTK page
// from web/, the real HTTP client, files in a fresh folder. The vendor's host names lead to the
// local vendor service. Debian and RPM packages install for real (this host's backends with the
// real pkexec, install helper, apt-get and dpkg or dnf, inside tests/sandbox.sh); the flows of
// macOS packages
// go as far as their downloads, since the script that installs them is the unit tests' to run.
// Hand-offs go to a stand-in desktop installer registered with GIO.
#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Json.h"
#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "host/HostApp.h"

namespace suite::flows {

extern GtkApplication* gApp;

struct FlowSetup {
    // Waits before a download is tried again; the 1, 4 and 16 s schedule is the unit tests' to
    // check on a virtual clock, the flows only need retries to happen.
    std::vector<double> downloadRetryDelays = {0.1, 0.2, 0.4};
    // The packages this host installs for real: "deb" (apt-get and dpkg) or "rpm" (dnf or zypper,
    // in a world of fakes/RpmWorld.h); "pkg": macOS ones, which go as far as their downloads.
    std::string packages = "pkg";
    std::string appVersion = "3.1.0";                   // the running program's
    std::filesystem::path ownExecutable = "/bin/true";  // what a relaunch starts
    std::string settings = R"({"lang":"en"})";          // the settings file it starts with
    UpdateConditions* conditions = nullptr;             // set: others than the machine's
    std::string policy = {};  // the administrator's policy file's text; empty: none
};

class FlowHarness {
  public:
    FlowHarness(VendorService& vendor, FlowSetup setup = {});
    ~FlowHarness();

    // What the stand-in desktop installer does with a Debian or RPM package ($1), as shell
    // commands.
    void setDebInstaller(const std::string& commands);

    // Starts the program and waits until the page has shown the scanned catalog, or, with
    // `showsList` false, until its first check has ended.
    void start(bool showsList = true);
    // Ends the program and starts it again in the same folders; while `vendorReachable` is false
    // the vendor's names lead to a loopback port nobody listens on.
    void restart(bool vendorReachable, bool showsList);
    // The same with another vendor service, as when the vendor has published a new catalog.
    void restart(VendorService& vendor);

    // The page's value of `expression` (JSON null when it has none or the page did not answer
    // within `seconds`; a later answer goes nowhere).
    Json eval(const std::string& expression, double seconds = 10) {
        return app_->page(expression, seconds);
    }
    // Turns the main loop until `expression` is true in the page, at most `seconds`.
    bool waitFor(const std::string& expression, double seconds = 20) {
        return app_->holds(expression, seconds);
    }
    // The events the page received since it started, in order.
    std::vector<Json> events();
    std::vector<Json> events(const std::string& type, const std::string& id = "");
    // Clicks the element `selector` finds (false when there is none).
    bool click(const std::string& selector);

    AppDelegate& delegate() { return app_->delegate; }
    VendorService& vendor() { return *vendor_; }

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path downloads() const { return launch_.cacheDir; }
    std::filesystem::path installLog() const { return launch_.logDir / "install.log"; }

  private:
    void registerSystemInstaller();
    void stop();

    VendorService* vendor_;
    FlowSetup setup_;
    fakes::TempDir dir_;
    LaunchValues launch_;
    std::unique_ptr<PackageSystem> packages_;
    std::unique_ptr<gtk::HostApp> app_;
    bool vendorReachable_ = true;
};

}  // namespace suite::flows
