#pragma once
// Where GTK 3 with WebKitGTK 4.1 and GTK 4 with WebKitGTK 6.0 part ways. The host in this folder
// is written once against both; what each toolkit spells its own way is declared here and
// defined once per toolkit (hosts/gtk3, hosts/gtk4), and a build links exactly one of them.
#include <gtk/gtk.h>
#if GTK_MAJOR_VERSION >= 4
#include <webkit/webkit.h>
#else
#include <webkit2/webkit2.h>
#endif

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace suite::gtk {

// The toolkit's own settings before it starts (a renderer that suits the machine).
void prepareToolkit();

// Takes a top-level window down for good.
void destroyWindow(GtkWindow* window);
// A dialog that goes for good when the user closes it, rather than hiding.
void destroyOnClose(GtkWindow* dialog);
// Adds a folder to the icon theme the program's windows draw from.
void addIconSearchPath(const std::filesystem::path& folder);
// The files chosen in a file chooser, as local paths.
std::vector<std::filesystem::path> chosenFiles(GtkFileChooser* chooser);
// A widget's current width in pixels.
int widgetWidth(GtkWidget* widget);
// Shows `child` at the end of `box`.
void appendToBox(GtkBox* box, GtkWidget* child);
// Shows `child` over an overlay's main child, or takes it away.
void addOverlay(GtkOverlay* overlay, GtkWidget* child);
void removeOverlay(GtkOverlay* overlay, GtkWidget* child);
// What screen readers call a widget.
void setAccessibleName(GtkWidget* widget, const std::string& name);
// A centred, wrapping label in the notices' style.
GtkWidget* noticeLabel(const std::string& text);

// The window's size as the user left it, and a new one.
void windowSize(GtkWindow* window, int* width, int* height);
void resizeWindow(GtkWindow* window, int width, int height);
// Replaces what a style sheet holds.
void loadCss(GtkCssProvider* provider, const std::string& css);
// The toolkit's rules for the drag strip's menus and buttons (its widgets' style nodes differ).
extern const char* const kStripCss;

// A web context of the page's own, and its view, which keep nothing on disk (no cache, no
// cookies) and never save a download.
WebKitWebContext* newPageContext();
WebKitWebView* newPageView(WebKitWebContext* context, WebKitUserContentManager* content);
// Lets the page post messages to `name` (window.webkit.messageHandlers[name]).
void registerMessageHandler(WebKitUserContentManager* content, const char* name);
// The value a "script-message-received" signal carries.
JSCValue* scriptMessageValue(gpointer message);
// The PNG of a finished webkit_web_view_get_snapshot (nothing on an error).
std::optional<std::string> finishSnapshotPng(WebKitWebView* view, GAsyncResult* result);

}  // namespace suite::gtk
