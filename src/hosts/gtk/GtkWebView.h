#pragma once
// The page's web view on WebKitGTK: the "suite" scheme, the "suite" message handler, the
// navigation policy, script evaluation, snapshots and zoom, the end of its content process, and
// a context menu with editing commands only.
#include "hosts/gtk/Toolkit.h"

#include <functional>
#include <optional>
#include <string>

#include "platform/Window.h"

namespace suite::gtk {

class GtkWebView final : public WebView {
  public:
    GtkWebView(WindowDelegate& delegate, SchemeResponder scheme);
    ~GtkWebView() override;

    GtkWidget* widget() const { return GTK_WIDGET(view_); }

    void loadUri(const std::string& uri) override;
    void evaluateJavaScript(const std::string& source, std::function<void()> done) override;
    void snapshotPng(std::function<void(std::optional<std::string> png)> done) override;
    double width() const override;
    double zoom() const override;
    void setZoom(double zoom) override;

    // The result of `source` as JSON text (nothing on an error or a value JSON cannot carry).
    // For tests that read the page's state back.
    void evaluateForResult(const std::string& source,
                           std::function<void(std::optional<std::string> json)> done);

    void runEditingCommand(const char* command);

  private:
    static void onSchemeRequest(WebKitURISchemeRequest* request, gpointer self);
    static void onScriptMessage(WebKitUserContentManager*, gpointer message, gpointer self);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                       gpointer self);
    // The toolkits pass different arguments after the menu (GTK 3 the event too); none is used.
    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu* menu, gpointer, gpointer);

    struct SchemeBinding {
        GtkWebView* view;
    };

    WindowDelegate& delegate_;
    SchemeResponder scheme_;
    SchemeBinding* schemeBinding_ = nullptr;
    WebKitWebView* view_ = nullptr;
    bool loadFailed_ = false;
};

}  // namespace suite::gtk
