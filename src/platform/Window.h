#pragma once
// The one main window: the web page fills it, a drag strip lies over its top band.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/Json.h"
#include "platform/WebView.h"

namespace suite {

struct Rgba {
    double red = 0, green = 0, blue = 0, alpha = 1;
};

struct WindowSpec {
    std::string title;
    int width = 0, height = 0;        // initial content size in points
    int minWidth = 0, minHeight = 0;  // the user cannot shrink it below this
    int dragStripHeight = 0;          // band at the top that moves the window
    Rgba background;                  // shows behind the transparent page while it loads
    std::filesystem::path frameFile;  // where the size is remembered; empty: not remembered
    std::string startUri;             // the page loaded once the window exists
    // Said by the window itself, over the page, when the page cannot say anything (its files are
    // missing); empty: nothing.
    std::string notice;
    bool noticeRightToLeft = false;
};

// What the window says over the page, with a button that loads the page again, when the page
// stopped working and was not loaded again by itself.
struct ReloadNotice {
    std::string text;
    std::string button;
    bool rightToLeft = false;
};

// What the window and its web view report; the application delegate answers.
class WindowDelegate {
  public:
    virtual ~WindowDelegate() = default;

    // The user asked to close the window. False refuses the close.
    virtual bool windowShouldClose() = 0;
    // The window was closed (it stays built and can be shown again).
    virtual void windowDidClose() = 0;
    virtual void windowDidResize() = 0;
    // The window became the active one (the user came back to the program).
    virtual void windowDidBecomeActive() = 0;

    // A message the page posted to the "suite" handler, as the JSON text the engine made of it.
    virtual void scriptMessageReceived(std::string_view json) = 0;
    // A navigation of the web view; false cancels it.
    virtual bool shouldAllowNavigation(const std::string& uri) = 0;
    // A navigation of the main frame completed successfully.
    virtual void webViewDidFinish() = 0;
    // The web view's content process ended (it crashed or was killed): the page is gone.
    virtual void webContentProcessDidTerminate() = 0;
    // The user pressed the reload notice's button.
    virtual void reloadRequested() = 0;
};

class Window {
  public:
    virtual ~Window() = default;

    // Shows the window and makes it the key window.
    virtual void present() = 0;
    // Brings the window to the front even while the program is not the active one.
    virtual void orderFrontRegardless() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    virtual bool isActive() const = 0;

    virtual void setContentSize(double width, double height) = 0;
    virtual void setBackgroundColor(const Rgba& color) = 0;
    // Shows `notice` over the page until its button is pressed, which hides it again and tells
    // the delegate.
    virtual void showReloadNotice(const ReloadNotice& notice) = 0;

    virtual WebView& webView() = 0;
    // The window as it is drawn now, the native parts with the page, as PNG bytes; nothing when
    // it cannot be drawn (not shown, say).
    virtual std::optional<std::string> snapshotPng() const = 0;

    // The user's zoom factor, kept with the window's size for the next start (1: none kept).
    virtual double rememberedUserZoom() const = 0;
    virtual void rememberUserZoom(double zoom) = 0;
};

}  // namespace suite
