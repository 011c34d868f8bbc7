#pragma once
// The program's one long-lived object: it owns the window, the web view, the settings and every
// flow's state, answers the window, the web view and the menu, and dispatches the page's actions.
// All of it lives on the main thread; work elsewhere comes back through the main queue.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/LaunchValues.h"
#include "app/Policy.h"
#include "app/ViewLifetime.h"
#include "catalog/CatalogFlow.h"
#include "common/Json.h"
#include "common/Lifetime.h"
#include "feedback/FeedbackFlow.h"
#include "install/AutoUpdate.h"
#include "install/InstallFlow.h"
#include "notify/Presence.h"
#include "platform/Platform.h"
#include "platform/Window.h"

namespace suite {

namespace demo {
class Stage;
}

struct AppConfig {
    std::filesystem::path webRoot;  // the page's files
    std::string vendorHost;
    std::string platformName;               // "linux" on this host
    std::string hostTag;                    // "Linux" on this host, in the User-Agent
    std::filesystem::path windowFrameFile;  // where the window size is remembered; empty: nowhere
    double catalogTimeoutSeconds = 12;   // time without data before a catalog address is given up
    double downloadTimeoutSeconds = 30;  // time without data before a download is given up
    std::vector<double> downloadRetryDelays = {1, 4, 16};  // waits before retrying an address
    // Plain http downloads from a loopback vendor host: tests' local servers only, never set by
    // the program (the HTTP client must allow it too).
    bool allowPlainHttpDownloadsToLoopback = false;
    std::filesystem::path ownExecutable;  // started again after a self-update; the login entry
    // Feedback: the device description ("Linux 6.1.0, x86_64"), the three stages' time without
    // data, and the service's origin for tests' loopback servers only (empty, always in the
    // program: "https://" + vendorHost).
    std::string deviceDescription;
    double feedbackSubmitTimeoutSeconds = 30, feedbackFileTimeoutSeconds = 600,
           feedbackDoneTimeoutSeconds = 30;
    std::string feedbackOriginForTests;
    // Public keys (Base64, 32 raw Ed25519 bytes each) of which any may sign the catalog, and the
    // clock its expiry is judged by.
    std::vector<std::string> catalogKeys = builtInCatalogKeys();
    WallClock wallClock = systemSeconds;
    // Time without traffic to or from the page, while no window shows and nothing is under way,
    // before the web view is let go.
    double viewQuietSeconds = 30;
    // The administrator's policy (kPolicyFile in the program); empty: none, as in tests.
    std::filesystem::path policyFile = {};
};

class AppDelegate final : public WindowDelegate, public MenuDelegate {
  public:
    AppDelegate(LaunchValues launch, AppConfig config, Platform platform);
    ~AppDelegate() override;

    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Launch sequence: settings, menu, window, presence, appearance observers.
    void applicationDidFinishLaunching();

    std::string lang() const;
    bool isDark() const;
    bool reduceMotion() const;

    // Window, menu and appearance.
    void buildMenu();
    void buildWindow();
    // Builds the window again when its view was dropped, then shows it.
    void showWindow();
    // Lets the window and its web view go while nobody sees them (and, where the host can, this
    // whole process for the small waiting one), and loads them again hidden.
    void dropView(std::optional<double> wakeAtMs);
    void wakeView();
    void sendAppearance();
    void fitZoom();
    // The user's zoom one step in `direction` (0: back to 100 %), kept with the window.
    void zoom(int direction);
    void about();
    void checkNow();
    void openSettings();
    bool applicationShouldTerminateAfterLastWindowClosed() const;
    bool applicationShouldHandleReopen();

    // Bridge.
    void userContentController(const Json& body);
    void send(const Json& event);

    // Catalog and detection: the catalog flow's.
    // The mirror the administrator's policy names comes first.
    void fetchCatalog(std::vector<std::string> urls) {
        catalogFlow_.fetch(catalogAddresses(std::move(urls), policy_));
    }
    void scan(std::vector<Json> apps) { catalogFlow_.scan(std::move(apps)); }

    // An install the command line runs beside the window: its "progress" and "result" events, by
    // a text id, show on the page as its own would; anything else is dropped.
    void consoleEvent(const Json& event);

    // Download, verification and installation: the install flow's.
    // What the administrator's policy bars fails at once ("install", reason "policy").
    void install(InstallRequest request);
    // Updates an automatic check found: taken care of only while the user's "autoInstall"
    // setting is on, whatever the page asks.
    void autoUpdate(InstallRequest request);
    // The page's "cancel": the item with this id, or without one every item not yet being
    // installed; an id that is not text is only logged.
    void cancelInstall(const std::optional<Json>& id) { installFlow_.cancelRequested(id); }
    void runInstallers(std::vector<VerifiedPackage> packages) {
        installFlow_.runInstallers(std::move(packages));
    }
    void log(const std::string& message) const { installFlow_.log(message); }
    void applicationDidBecomeActive() { installFlow_.applicationDidBecomeActive(); }
    // Shows the install log in the desktop's program for it; nothing while there is none.
    void openInstallLog() { installFlow_.openLog(); }
    void reopen() { installFlow_.reopen(); }
    std::optional<bool> isInstalled(const InstallItem& item) const {
        return installFlow_.isInstalled(item);
    }

    // Update notifications: raising one, and the user's answer ("update", "later", or a click
    // on the notification itself).
    void notify(const Json& message) { presence_.notify(message); }
    void notificationAnswered(const std::string& action) { presence_.notificationAnswered(action); }

    // Start at login and opening products.
    // Where the administrator's policy forces the setting, only to what it says.
    void setLoginItem(bool on);
    // Reads the administrator's policy, logs what it ignores, and forces its settings.
    void readAdministratorPolicy();
    // "startLogin" as the policy forces it; nothing where it does not.
    std::optional<bool> forcedLogin() const;
    void openApp(const Json& detect) { presence_.openApp(detect); }

    // Feedback: the feedback flow's.
    void pickFeedbackFiles();
    void sendFeedback(const Json& message) { feedbackFlow_.send(message); }
    FeedbackFlow& feedback() { return feedbackFlow_; }

    // Navigation policy and links.
    bool decidePolicyFor(const std::string& uri) const;
    void openLink(const std::string& url);

    // Settings.
    void saveSettings(const Json& settings);

    // WindowDelegate
    bool windowShouldClose() override;
    void windowDidClose() override;
    void windowDidResize() override;
    void scriptMessageReceived(std::string_view json) override {
        userContentController(parseEngineJson(json));
    }
    bool shouldAllowNavigation(const std::string& uri) override { return decidePolicyFor(uri); }
    void webViewDidFinish() override;
    void windowDidBecomeActive() override { applicationDidBecomeActive(); }
    void webContentProcessDidTerminate() override;
    void reloadRequested() override;

    // MenuDelegate
    void menuCommand(MenuCommand command) override;

    const LaunchValues& launch() const { return launch_; }
    const Json& settings() const { return settings_; }
    Window* window() const { return window_.get(); }

    using HandOff = InstallFlow::HandOff;
    const std::map<std::string, HandOff>& handOff() const { return installFlow_.handOff(); }

  private:
    // The request without what the policy bars, each of those failed with its reason, and
    // fetched from its mirror first.
    InstallRequest allowedByPolicy(InstallRequest request);
    void replyToReady();
    // Runs `script` in the page; while a dropped page has not said "ready" again, the latest
    // script of each `kind` waits for it instead.
    void runInPage(const std::string& kind, const std::string& script);
    // A check, install, hand-off or upload is under way, or the page has not loaded yet.
    bool pageHasWork() const;

    const LaunchValues launch_;
    const AppConfig config_;
    Platform platform_;

    std::unique_ptr<Window> window_;
    int reloadsInLastMinute_ = 0;  // page loads after its content process ended
    double userZoom_ = 1.0;
    Json settings_ = Json::object();
    std::optional<Policy> policy_;  // the administrator's, read at start
    std::shared_ptr<demo::Stage> demoStage_;
    CatalogFlow catalogFlow_;
    InstallFlow installFlow_;
    AutoUpdate autoUpdate_;
    FeedbackFlow feedbackFlow_;
    Presence presence_;
    ViewLifetime viewLifetime_;
    bool pageAway_ = false;   // dropped, or loading again since, until its "ready"
    bool pageReady_ = false;  // the page in the window has said "ready"
    std::vector<std::pair<std::string, std::string>> waitingForPage_;  // kind, script
    // Last, so it goes first: callbacks of observers and timers that outlive the delegate (in a
    // test) do nothing then.
    Lifetime lifetime_;
};

}  // namespace suite
