#pragma once
// The main window on GTK: the web view fills it; a drag strip (the menu bar and the window
// controls, where a drag moves the window) lies over its top band, so the page reaches under the
// title area. Each toolkit builds it its own way (hosts/gtk3, hosts/gtk4).
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "hosts/gtk/GtkWebView.h"
#include "hosts/gtk/WindowFrame.h"
#include "platform/Window.h"

namespace suite::gtk {

class GtkMainWindow final : public Window {
  public:
    GtkMainWindow(GtkApplication* app, const WindowSpec& spec, WindowDelegate& delegate,
                  SchemeResponder scheme, GMenuModel* menuBar);
    ~GtkMainWindow() override;

    void present() override;
    void orderFrontRegardless() override;
    void hide() override;
    bool isVisible() const override;
    bool isActive() const override;
    void setContentSize(double width, double height) override;
    void setBackgroundColor(const Rgba& color) override;
    void showReloadNotice(const ReloadNotice& notice) override;
    WebView& webView() override { return *web_; }
    std::optional<std::string> snapshotPng() const override;
    double rememberedUserZoom() const override { return userZoom_; }
    void rememberUserZoom(double zoom) override { userZoom_ = zoom; }

    GtkWebView& gtkWebView() { return *web_; }
    GtkWindow* gtkWindow() const { return window_; }
    // The strip's menus, laid out right to left (the menus at the right edge) for Arabic, and
    // what screen readers call them.
    void setMenuBar(GMenuModel* model, bool rightToLeft, const std::string& name);
    void minimize();
    void close();
    // Stores the current size for the next start.
    void rememberFrame() const;
    // Runs `gone` when this window is destroyed.
    void whenGone(std::function<void()> gone) { gone_ = std::move(gone); }

  private:
    // The toolkit's signal handlers, defined with the toolkit's window.
    struct Signals;
    friend struct Signals;

    // The parts both toolkits' windows share, which their constructors call.
    // The window's notice, colour, size and signals, and the page in it, once its widgets are
    // made.
    void showPage();
    void restoreFrame();
    void closeRequested();
    void focusPageIfNothingHasFocus();
    void windowResized();

    const WindowSpec spec_;
    WindowDelegate& delegate_;
    std::unique_ptr<GtkWebView> web_;
    GtkWindow* window_ = nullptr;
    GtkWidget* strip_ = nullptr;
    GtkWidget* sizeWatch_ = nullptr;  // tells of each new size once GTK has laid the page out
    GtkWidget* menuBar_ = nullptr;
    GtkWidget* overlay_ = nullptr;
    GtkWidget* reloadNotice_ = nullptr;  // while it is shown
    GtkCssProvider* css_ = nullptr;
    guint resizeSource_ = 0;
    double userZoom_ = 1.0;
    std::function<void()> gone_;
};

}  // namespace suite::gtk
