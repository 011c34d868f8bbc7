#pragma once
// The main window on GTK: the web view fills it; a drag strip (window handle with the menu bar
// and the window controls) lies over its top band, so the page reaches under the title area.
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "hosts/gtk4/GtkWebView.h"
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
    // The strip's menus, laid out right to left (the menus at the right edge) for Arabic.
    void setMenuBar(GMenuModel* model, bool rightToLeft);
    void minimize();
    void close();
    // Stores the current size for the next start.
    void rememberFrame() const;
    // Runs `gone` when this window is destroyed.
    void whenGone(std::function<void()> gone) { gone_ = std::move(gone); }

  private:
    void restoreFrame();
    static gboolean onCloseRequest(GtkWindow*, gpointer self);
    static void onResize(GtkDrawingArea*, int, int, gpointer self);
    static void onActiveChanged(GObject*, GParamSpec*, gpointer self);
    static void onTitleChanged(GObject* view, GParamSpec*, gpointer self);
    static void onReloadClicked(GtkButton*, gpointer self);

    const WindowSpec spec_;
    WindowDelegate& delegate_;
    std::unique_ptr<GtkWebView> web_;
    GtkWindow* window_ = nullptr;
    GtkWidget* strip_ = nullptr;
    GtkWidget* probe_ = nullptr;
    GtkWidget* menuBar_ = nullptr;
    GtkWidget* overlay_ = nullptr;
    GtkWidget* reloadNotice_ = nullptr;  // while it is shown
    GtkCssProvider* css_ = nullptr;
    guint resizeSource_ = 0;
    double userZoom_ = 1.0;
    std::function<void()> gone_;
};

// The window's style sheet for a window of `color`: its background, and the strip's text in a
// colour that reads on it.
std::string windowCss(const Rgba& color);

}  // namespace suite::gtk
