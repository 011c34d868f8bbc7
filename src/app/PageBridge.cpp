// The page's actions, each handed to the operation its "type" names, and the events going back.
#include <algorithm>
#include <variant>

#include "app/AppDelegate.h"
#include "bridge/Actions.h"
#include "bridge/Events.h"
#include "bridge/NavigationPolicy.h"
#include "catalog/CatalogFetch.h"
#include "install/History.h"

namespace suite {

namespace {

// One handler per action type: std::visit refuses to compile a dispatch that leaves an action of
// the variant without one.
template <typename... Handlers>
struct Handle : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
Handle(Handlers...) -> Handle<Handlers...>;

}  // namespace

void AppDelegate::userContentController(const Json& body) {
    auto action =
        bridge::decodeAction(body, launch_.isDemo,
                             {.vendorHost = config_.vendorHost,
                              .allowLoopbackHttp = config_.allowPlainHttpDownloadsToLoopback});
    if (!action) return;
    // The page says when to wake it whenever it works the time out; that alone is no activity.
    if (!std::holds_alternative<bridge::WakeAt>(*action)) viewLifetime_.activity();
    std::visit(Handle{
                   [this](bridge::Ready&) { replyToReady(); },
                   [this](bridge::Link& a) { openLink(a.url); },
                   [this](bridge::Save& a) { saveSettings(a.settings); },
                   [this](bridge::FetchCatalog& a) { fetchCatalog(std::move(a.urls)); },
                   [this](bridge::Scan& a) { scan(std::move(a.apps)); },
                   [this](bridge::Install& a) { install(std::move(a.request)); },
                   [this](bridge::AutoUpdate& a) { autoUpdate(std::move(a.request)); },
                   [this](bridge::Cancel& a) { cancelInstall(a.id); },
                   [this](bridge::StopWaiting& a) { installFlow_.stopWaiting(a.id); },
                   [this](bridge::Open& a) { openApp(a.detect); },
                   [this](bridge::SetLoginItem& a) { setLoginItem(a.on); },
                   [this](bridge::Notify& a) { notify(a.body); },
                   [this](bridge::PickFiles&) { pickFeedbackFiles(); },
                   [this](bridge::SendFeedback& a) { sendFeedback(a.body); },
                   [this](bridge::OpenLog&) { openInstallLog(); },
                   // A showcase shows nobody's history, least of all in its screenshots.
                   [this](bridge::History&) {
                       send(launch_.isDemo ? historyEvent({}) : installFlow_.history());
                   },
                   [this](bridge::Restore& a) { installFlow_.restore(a.id); },
                   [this](bridge::WakeAt& a) { viewLifetime_.wakeAt(a.at); },
               },
               *action);
}

void AppDelegate::replyToReady() {
    bridge::InitValues values;
    values.platform = config_.platformName;
    values.version = launch_.appVersion;
    values.demo = launch_.isDemo;
    values.packages = platform_.packages.kind();
    values.arch = platform_.packages.architecture();
    values.vendorHost = config_.vendorHost;
    values.settings = settings_;
    values.policy = policyJson(policy_);
    values.preferredLanguages = platform_.system.preferredLanguages();
    values.osDark = isDark();
    values.reduceMotion = reduceMotion();
    values.kept = catalogFlow_.kept();
    values.catalogSecondsPerAddress = kCatalogAddressCeilingSeconds;
    pageAway_ = false;
    pageReady_ = true;
    send(bridge::initEvent(values));
    for (const auto& [kind, script] : waitingForPage_) runInPage(kind, script);
    waitingForPage_.clear();
}

void AppDelegate::send(const Json& event) {
    viewLifetime_.activity();
    auto script = bridge::eventScript(event);
    if (script) runInPage(stringMember(event, "type").value_or(""), *script);
}

void AppDelegate::runInPage(const std::string& kind, const std::string& script) {
    if (pageAway_) {
        auto same = std::find_if(waitingForPage_.begin(), waitingForPage_.end(),
                                 [&](const auto& waiting) { return waiting.first == kind; });
        if (same != waitingForPage_.end()) waitingForPage_.erase(same);
        waitingForPage_.emplace_back(kind, script);
        return;
    }
    if (window_) window_->webView().evaluateJavaScript(script, nullptr);
}

bool AppDelegate::decidePolicyFor(const std::string& uri) const {
    return allowNavigation(uri);
}

void AppDelegate::openLink(const std::string& url) {
    if (auto target = linkToOpen(url, config_.vendorHost)) platform_.shell.openUri(*target);
}

}  // namespace suite
