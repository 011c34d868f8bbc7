#include "app/AppDelegate.h"

#include "app/InterfaceText.h"
#include "app/Settings.h"
#include "bridge/Events.h"
#include "catalog/CatalogFetch.h"
#include "catalog/KeptCatalog.h"
#include "demo/DemoRun.h"
#include "install/InstallResults.h"
#include "notify/LoginItem.h"

namespace suite {

AppDelegate::AppDelegate(LaunchValues launch, AppConfig config, Platform platform)
    : launch_(std::move(launch)),
      config_(std::move(config)),
      platform_(platform),
      catalogFlow_(
          CatalogSettings{.userAgent = catalogUserAgent(launch_.appVersion, config_.hostTag),
                          .timeoutSeconds = config_.catalogTimeoutSeconds,
                          .keys = config_.catalogKeys,
                          // A showcase saves nothing, not even the catalog it saw.
                          .trustStateFile = launch_.isDemo ? std::filesystem::path()
                                                           : launch_.logDir / kCatalogStateFileName,
                          .keptFolder = launch_.isDemo ? std::filesystem::path() : launch_.logDir,
                          .wallClock = config_.wallClock},
          CatalogServices{platform_.queue, platform_.background, platform_.http,
                          platform_.packages},
          [this](const Json& event) {
              installFlow_.noteScan(event);
              send(event);
          }),
      installFlow_(
          InstallSettings{.downloadDir = launch_.cacheDir,
                          .logDir = launch_.logDir,
                          .downloadTimeoutSeconds = config_.downloadTimeoutSeconds,
                          .downloadRetryDelays = config_.downloadRetryDelays,
                          .userAgent = catalogUserAgent(launch_.appVersion, config_.hostTag),
                          .ownExecutable = config_.ownExecutable,
                          // A showcase keeps nothing.
                          .keptPackagesDir = launch_.isDemo ? std::filesystem::path()
                                                            : launch_.logDir / "kept-packages",
                          .catalogFile = launch_.logDir / kKeptCatalogFileName,
                          .signatureFile = launch_.logDir / kKeptSignatureFileName},
          InstallServices{platform_.queue, platform_.background, platform_.http, platform_.launcher,
                          platform_.shell, platform_.packages, platform_.fileWatcher,
                          platform_.running},
          [this](const Json& event) { send(event); },
          [this] { return std::string(interfaceText(isArabic(lang())).installPrompt); }),
      autoUpdate_(
          AutoUpdateServices{installFlow_, platform_.conditions, platform_.background,
                             platform_.queue},
          [this](const Json& event) { send(event); },
          [this] { return window_ && window_->isVisible(); }),
      feedbackFlow_(
          FeedbackSettings{.origin = config_.feedbackOriginForTests.empty()
                                         ? "https://" + config_.vendorHost
                                         : config_.feedbackOriginForTests,
                           .userAgent = catalogUserAgent(launch_.appVersion, config_.hostTag),
                           .deviceDescription = config_.deviceDescription,
                           .submitTimeoutSeconds = config_.feedbackSubmitTimeoutSeconds,
                           .fileTimeoutSeconds = config_.feedbackFileTimeoutSeconds,
                           .doneTimeoutSeconds = config_.feedbackDoneTimeoutSeconds},
          FeedbackServices{platform_.queue, platform_.http, platform_.filePicker,
                           platform_.fileTypes, platform_.thumbnailer},
          [this](const Json& event) { send(event); }),
      presence_(PresenceSettings{.autostartFile =
                                     launch_.autostartDir / autostartFileName(launch_.agentPlist),
                                 .ownExecutable = config_.ownExecutable},
                PresenceServices{platform_.notifier, platform_.shell, platform_.launcher,
                                 platform_.packages},
                PresenceWindow{
                    .userIsLooking =
                        [this] { return window_ && window_->isVisible() && window_->isActive(); },
                    .show = [this] { showWindow(); },
                    .send = [this](const Json& event) { send(event); }}),
      viewLifetime_(platform_.queue, config_.wallClock, config_.viewQuietSeconds, launch_.isDemo,
                    ViewLifetimeHooks{.loaded = [this] { return window_ != nullptr; },
                                      .shown = [this] { return window_ && window_->isVisible(); },
                                      .busy = [this] { return pageHasWork(); },
                                      .drop = [this](auto wakeAtMs) { dropView(wakeAtMs); },
                                      .wake = [this] { wakeView(); }}) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    if (!launch_.isDemo) {
        settings_ = loadSettings(launch_.supportDir / kSettingsFileName);
        readAdministratorPolicy();
    }
    if (const auto forced = forcedLogin()) {
        // The administrator's word, whatever the entry says now.
        presence_.setLoginItem(*forced);
    } else if (!launch_.isDemo && boolMember(settings_, "startLogin") == true &&
               !presence_.keepLoginItem()) {
        // The entry names the program where it was when it was written; a program that has
        // moved since (a reinstall elsewhere) would no longer start at login. A user who switched
        // it off in the desktop's startup settings meant the setting too: the page and the close
        // rule read it off, and it is saved so with the page's next change.
        settings_["startLogin"] = false;
    }
    // A showcase keeps its hands off the user's real download folder.
    if (!launch_.isDemo) installFlow_.tidyDownloads();
    buildMenu();
    buildWindow();
    if (launch_.startHidden) {
        platform_.shell.setActivationPolicy(ActivationPolicy::Accessory);
        viewLifetime_.activity();
    } else {
        platform_.shell.setActivationPolicy(ActivationPolicy::Regular);
        window_->present();
        platform_.shell.activate();
    }
    // Observers may fire after the delegate is gone in a test; they must not reach it then.
    platform_.system.observeAppearance(lifetime_.guard<>([this] { sendAppearance(); }));
    platform_.system.observeAccessibility(lifetime_.guard<>([this] { sendAppearance(); }));
    // A showcase run never raises notifications, so it need not hear their answers either.
    if (!launch_.isDemo) {
        platform_.notifier.setAnswerHandler(lifetime_.guard<std::string>(
            [this](std::string action) { notificationAnswered(action); }));
    }
    // The answer the waiting program was given in this program's stead; the page, still loading,
    // hears it once it is ready.
    if (launch_.notificationAnswer) {
        pageAway_ = true;
        notificationAnswered(*launch_.notificationAnswer);
    }
}

std::string AppDelegate::lang() const {
    return interfaceLanguage(settings_, platform_.system.preferredLanguages());
}

bool AppDelegate::isDark() const {
    return platform_.system.isDark();
}

bool AppDelegate::reduceMotion() const {
    return platform_.system.reduceMotion();
}

void AppDelegate::pickFeedbackFiles() {
    if (policy_ && !policy_->feedbackAttachments) {
        return log("feedback: attachments refused, the policy switches them off");
    }
    const InterfaceText& text = interfaceText(isArabic(lang()));
    feedbackFlow_.pickFiles(window_.get(), {.title = std::string(text.addFilesTitle),
                                            .accept = std::string(text.addFiles),
                                            .filter = std::string(text.picturesAndVideos)});
}

void AppDelegate::autoUpdate(InstallRequest request) {
    if (boolMember(settings_, "autoInstall") != true) {
        return log("automatic update: refused, the setting is off");
    }
    autoUpdate_.start(allowedByPolicy(std::move(request)));
}

void AppDelegate::install(InstallRequest request) {
    installFlow_.install(allowedByPolicy(std::move(request)));
}

InstallRequest AppDelegate::allowedByPolicy(InstallRequest request) {
    return underPolicy(std::move(request), policy_, [this](const InstallItem& item, PolicyBar bar) {
        log("install: " + item.id + " refused by the administrator's policy (" + barName(bar) +
            ")");
        send(bridge::failureEvent(item.id, bridge::FailedAt::Install, "policy", barName(bar)));
    });
}

void AppDelegate::consoleEvent(const Json& event) {
    const auto type = stringMember(event, "type");
    if ((type == "progress" || type == "result") && stringMember(event, "id")) send(event);
}

void AppDelegate::readAdministratorPolicy() {
    if (config_.policyFile.empty()) return;
    PolicyRead read = readPolicy(config_.policyFile);
    for (const auto& warning : read.warnings) {
        log("policy " + config_.policyFile.string() + ": " + warning);
    }
    policy_ = std::move(read.policy);
    settings_ = withPolicy(std::move(settings_), policy_);
}

std::optional<bool> AppDelegate::forcedLogin() const {
    return policy_ ? boolMember(policy_->settings, "startLogin") : std::nullopt;
}

void AppDelegate::setLoginItem(bool on) {
    const auto forced = forcedLogin();
    if (forced && *forced != on) return log("login item: refused, the policy says otherwise");
    presence_.setLoginItem(on);
}

void AppDelegate::saveSettings(const Json& settings) {
    const std::string before = lang();
    // A page can only ask: what the administrator forced stays so.
    settings_ = withPolicy(settings, policy_);
    // A failed write is not reported: the change holds in memory until the program ends. A
    // showcase writes nothing, but its window follows the page's language like any other.
    if (!launch_.isDemo) suite::saveSettings(launch_.supportDir / kSettingsFileName, settings_);
    if (lang() != before) buildMenu();
}

}  // namespace suite
