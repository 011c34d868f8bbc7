// The page's actions, each handed to the operation its "type" names, and the events going back.
#include <variant>

#include "app/AppDelegate.h"
#include "bridge/Actions.h"
#include "bridge/Events.h"
#include "bridge/NavigationPolicy.h"

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
    auto action = bridge::decodeAction(body, launch_.isDemo);
    if (!action) return;
    std::visit(Handle{
                   [this](bridge::Ready&) { replyToReady(); },
                   [this](bridge::Link& a) { openLink(a.url); },
                   [this](bridge::Save& a) { saveSettings(a.settings); },
                   [this](bridge::FetchCatalog& a) { fetchCatalog(std::move(a.urls)); },
                   [this](bridge::Scan& a) { scan(std::move(a.apps)); },
                   [this](bridge::Install& a) { install(std::move(a.items)); },
                   [this](bridge::Cancel& a) { cancelInstall(a.id); },
                   [this](bridge::Open& a) { openApp(a.detect); },
                   [this](bridge::SetLoginItem& a) { setLoginItem(a.on); },
                   [this](bridge::Notify& a) { notify(a.body); },
                   [this](bridge::PickFiles&) { pickFeedbackFiles(); },
                   [this](bridge::SendFeedback& a) { sendFeedback(a.body); },
                   [this](bridge::OpenLog&) { openInstallLog(); },
               },
               *action);
}

void AppDelegate::replyToReady() {
    bridge::InitValues values;
    values.platform = config_.platformName;
    values.version = launch_.appVersion;
    values.demo = launch_.isDemo;
    values.packages = platform_.packages.kind();
    values.vendorHost = config_.vendorHost;
    values.settings = settings_;
    values.preferredLanguages = platform_.system.preferredLanguages();
    values.osDark = isDark();
    values.reduceMotion = reduceMotion();
    send(bridge::initEvent(values));
}

void AppDelegate::send(const Json& event) {
    if (!window_) return;
    auto script = bridge::eventScript(event);
    if (!script) return;
    window_->webView().evaluateJavaScript(*script, nullptr);
}

bool AppDelegate::decidePolicyFor(const std::string& uri) const {
    return allowNavigation(uri);
}

void AppDelegate::openLink(const std::string& url) {
    if (auto target = linkToOpen(url, config_.vendorHost)) platform_.shell.openUri(*target);
}

}  // namespace suite
