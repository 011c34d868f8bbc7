// The page's actions, each handed to the operation its "type" names, and the events going back.
#include <type_traits>

#include "app/AppDelegate.h"
#include "bridge/Actions.h"
#include "bridge/Events.h"
#include "bridge/NavigationPolicy.h"

namespace suite {

void AppDelegate::userContentController(const Json& body) {
    auto action = bridge::decodeAction(body, launch_.isDemo);
    if (!action) return;
    std::visit(
        [this](auto& a) {
            using A = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<A, bridge::Ready>) {
                replyToReady();
            } else if constexpr (std::is_same_v<A, bridge::Link>) {
                openLink(a.url);
            } else if constexpr (std::is_same_v<A, bridge::Save>) {
                saveSettings(a.settings);
            } else if constexpr (std::is_same_v<A, bridge::FetchCatalog>) {
                fetchCatalog(std::move(a.urls), true);
            } else if constexpr (std::is_same_v<A, bridge::Scan>) {
                scan(std::move(a.apps));
            } else if constexpr (std::is_same_v<A, bridge::Install>) {
                install(std::move(a.items));
            } else if constexpr (std::is_same_v<A, bridge::Cancel>) {
                cancelInstall(a.id);
            } else if constexpr (std::is_same_v<A, bridge::Open>) {
                openApp(a.detect);
            } else if constexpr (std::is_same_v<A, bridge::SetLoginItem>) {
                setLoginItem(a.on);
            } else if constexpr (std::is_same_v<A, bridge::Notify>) {
                notify(a.body);
            } else if constexpr (std::is_same_v<A, bridge::PickFiles>) {
                pickFeedbackFiles();
            } else if constexpr (std::is_same_v<A, bridge::SendFeedback>) {
                sendFeedback(a.body);
            } else if constexpr (std::is_same_v<A, bridge::OpenLog>) {
                openInstallLog();
            }
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

bool AppDelegate::decidePolicyFor(const std::string& uri) const { return allowNavigation(uri); }

void AppDelegate::openLink(const std::string& url) {
    if (auto target = linkToOpen(url, config_.vendorHost)) platform_.shell.openUri(*target);
}

}  // namespace suite
