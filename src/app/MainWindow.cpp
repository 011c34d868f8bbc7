// The main window, the menu bar, appearance, zoom and the close and reopen rules.
#include "app/AppDelegate.h"
#include "app/Menus.h"
#include "app/Settings.h"
#include "app/WindowRules.h"
#include "bridge/Events.h"
#include "bridge/SchemeHandler.h"

namespace suite {

namespace {

constexpr const char* kStartUri = "suite://app/index.html";

// A page whose content process keeps ending is not loaded again for ever: after this many loads
// within a minute the window says so and waits for the user.
constexpr int kMaxReloadsPerMinute = 3;

Rgba backgroundFor(bool dark) {
    return dark ? Rgba{0.04, 0.06, 0.10, 1.0} : Rgba{0.965, 0.969, 0.976, 1.0};
}

}  // namespace

void AppDelegate::buildMenu() {
    platform_.shell.setMenuBar(buildMenuBar(isArabic(lang())), *this);
}

void AppDelegate::buildWindow() {
    WindowSpec spec;
    spec.title = kProductName;
    spec.width = kWindowWidth;
    spec.height = kWindowHeight;
    spec.minWidth = kMinWindowWidth;
    spec.minHeight = kMinWindowHeight;
    spec.dragStripHeight = kDragStripHeight;
    spec.background = backgroundFor(isDark());
    spec.frameFile = config_.windowFrameFile;
    spec.startUri = kStartUri;
    // Without its files the page cannot tell the user anything; the window does instead.
    if (config_.webRoot.empty()) {
        spec.notice = missingFilesNotice(isArabic(lang()));
        spec.noticeRightToLeft = isArabic(lang());
    }
    auto handler = std::make_shared<SchemeHandler>(config_.webRoot);
    pageReady_ = false;
    window_ = platform_.shell.createWindow(
        spec, *this, [handler](const std::string& uri) { return handler->respond(uri); });
    userZoom_ = usableUserZoom(window_->rememberedUserZoom());
}

void AppDelegate::showWindow() {
    platform_.shell.setActivationPolicy(ActivationPolicy::Regular);
    if (!window_) buildWindow();
    window_->present();
    platform_.shell.activate();
}

// The size and the user's zoom stay in the frame file, written when the window was hidden; what
// the page knew comes back with "init" and the check a loaded page makes (its saved list where
// the vendor cannot be reached).
void AppDelegate::dropView(std::optional<double> wakeAtMs) {
    window_.reset();
    pageAway_ = true;
    platform_.shell.restUntil(wakeAtMs);
}

void AppDelegate::wakeView() {
    if (!window_) buildWindow();
}

bool AppDelegate::pageHasWork() const {
    // A page still loading has not said when to wake it yet; one whose files are missing never
    // will.
    const bool loading = !pageReady_ && !config_.webRoot.empty();
    return loading || catalogFlow_.busy() || installFlow_.busy() || feedbackFlow_.busy();
}

void AppDelegate::sendAppearance() {
    if (window_) window_->setBackgroundColor(backgroundFor(isDark()));
    send(bridge::appearanceEvent(isDark(), reduceMotion()));
}

void AppDelegate::fitZoom() {
    if (!window_) return;
    WebView& web = window_->webView();
    if (auto zoom = zoomChange(web.width(), web.zoom(), userZoom_)) web.setZoom(*zoom);
}

void AppDelegate::zoom(int direction) {
    if (!window_) return;
    userZoom_ = steppedUserZoom(userZoom_, direction);
    window_->rememberUserZoom(userZoom_);
    fitZoom();
}

void AppDelegate::about() {
    platform_.shell.showAbout(aboutInfo(isArabic(lang()), launch_.appVersion, config_.vendorHost));
    platform_.shell.activate();
}

void AppDelegate::checkNow() {
    showWindow();
    send(bridge::checkNowEvent());
}

void AppDelegate::openSettings() {
    showWindow();
    runInPage("openSettings", "document.querySelector('[data-view=settings]')?.click()");
}

void AppDelegate::menuCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::About:
            about();
            break;
        case MenuCommand::CheckNow:
            checkNow();
            break;
        case MenuCommand::OpenSettings:
            openSettings();
            break;
        case MenuCommand::ZoomIn:
            zoom(1);
            break;
        case MenuCommand::ZoomOut:
            zoom(-1);
            break;
        case MenuCommand::ZoomReset:
            zoom(0);
            break;
        default:
            break;  // the platform's own commands never reach the delegate
    }
}

void AppDelegate::windowDidResize() {
    fitZoom();
}

// The page asks for its state again with "ready" once it has loaded, as at start.
void AppDelegate::webContentProcessDidTerminate() {
    if (!window_) return;
    if (reloadsInLastMinute_ >= kMaxReloadsPerMinute) {
        window_->showReloadNotice(reloadNotice(isArabic(lang())));
        return;
    }
    ++reloadsInLastMinute_;
    platform_.queue.postAfter(60, lifetime_.guard<>([this] { --reloadsInLastMinute_; }));
    window_->webView().loadUri(kStartUri);
}

void AppDelegate::reloadRequested() {
    if (window_) window_->webView().loadUri(kStartUri);
}

bool AppDelegate::windowShouldClose() {
    if (!keepsRunningWhenClosed(settings_, launch_.isDemo)) return true;
    window_->hide();
    platform_.shell.setActivationPolicy(ActivationPolicy::Accessory);
    viewLifetime_.activity();
    return false;
}

void AppDelegate::windowDidClose() {
    // A self-update that came in on its own waited for the window to go.
    installFlow_.windowHidden();
    if (applicationShouldTerminateAfterLastWindowClosed()) platform_.shell.terminate();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() const {
    return terminatesAfterLastWindowClosed(settings_, launch_.isDemo);
}

bool AppDelegate::applicationShouldHandleReopen() {
    showWindow();
    return true;
}

}  // namespace suite
