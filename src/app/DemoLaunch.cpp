// The end of every page load: fit the zoom, and in demo mode play the steps file against the
// window and the page.
#include "app/AppDelegate.h"
#include "demo/DemoRun.h"
#include "platform/Files.h"

namespace suite {

namespace {

class WindowStage final : public demo::Stage {
  public:
    WindowStage(AppDelegate& app, Window& window, Shell& shell)
        : app_(app), window_(window), shell_(shell) {}

    void evaluateJavaScript(const std::string& source, std::function<void()> done) override {
        window_.webView().evaluateJavaScript(source, std::move(done));
    }
    void setContentSize(double width, double height) override {
        window_.setContentSize(width, height);
    }
    void zoom(int direction) override {
        app_.menuCommand(direction > 0   ? MenuCommand::ZoomIn
                         : direction < 0 ? MenuCommand::ZoomOut
                                         : MenuCommand::ZoomReset);
    }
    void snapshotPng(bool wholeWindow,
                     std::function<void(std::optional<std::string>)> done) override {
        if (wholeWindow) {
            done(window_.snapshotPng());
        } else {
            window_.webView().snapshotPng(std::move(done));
        }
    }
    void terminate() override { shell_.terminate(); }

  private:
    AppDelegate& app_;
    Window& window_;
    Shell& shell_;
};

}  // namespace

void AppDelegate::webViewDidFinish() {
    fitZoom();
    if (!launch_.isDemo || !window_) return;
    auto path = platform_.env.get("TALVEN_SUITE_STEPS");
    if (!path) return;
    auto text = readWholeFile(*path);
    if (!text) return;
    if (!demoStage_) demoStage_ = std::make_shared<WindowStage>(*this, *window_, platform_.shell);
    window_->orderFrontRegardless();
    demo::startDemoRun(platform_.queue, demoStage_, *text);
}

}  // namespace suite
