// GTK 4 and WebKitGTK 6.0's side of the toolkit seam.
#include "hosts/gtk/Toolkit.h"

#include "hosts/gio/GpuProbe.h"
#include "hosts/gtk4/TexturePng.h"

namespace suite::gtk {

// Without a GPU, GTK draws through software OpenGL, which spends most of the start-up compiling
// shaders for the window's own few widgets; its cairo renderer draws them at once. The user's
// own choice always stands.
void prepareToolkit() {
    if (g_getenv("GSK_RENDERER") != nullptr) return;
    if (!hasGpuRenderNode()) g_setenv("GSK_RENDERER", "cairo", FALSE);
}

void destroyWindow(GtkWindow* window) {
    gtk_window_destroy(window);
}

void destroyOnClose(GtkWindow* dialog) {
    gtk_window_set_hide_on_close(dialog, FALSE);
}

void addIconSearchPath(const std::filesystem::path& folder) {
    gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(gdk_display_get_default()),
                                   folder.c_str());
}

std::vector<std::filesystem::path> chosenFiles(GtkFileChooser* chooser) {
    std::vector<std::filesystem::path> chosen;
    GListModel* files = gtk_file_chooser_get_files(chooser);
    for (guint i = 0; i < g_list_model_get_n_items(files); ++i) {
        auto* file = static_cast<GFile*>(g_list_model_get_item(files, i));
        if (char* path = g_file_get_path(file)) {
            chosen.emplace_back(path);
            g_free(path);
        }
        g_object_unref(file);
    }
    g_object_unref(files);
    return chosen;
}

int widgetWidth(GtkWidget* widget) {
    return gtk_widget_get_width(widget);
}

void appendToBox(GtkBox* box, GtkWidget* child) {
    gtk_box_append(box, child);
}

void addOverlay(GtkOverlay* overlay, GtkWidget* child) {
    gtk_overlay_add_overlay(overlay, child);
}

void removeOverlay(GtkOverlay* overlay, GtkWidget* child) {
    gtk_overlay_remove_overlay(overlay, child);
}

void setAccessibleName(GtkWidget* widget, const std::string& name) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   name.c_str(), -1);
}

GtkWidget* noticeLabel(const std::string& text) {
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_widget_add_css_class(label, "talven-notice");
    gtk_label_set_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 48);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    gtk_widget_set_halign(label, GTK_ALIGN_CENTER);
    return label;
}

// GTK 4 keeps the default size as the window's size, so it is what the user left.
void windowSize(GtkWindow* window, int* width, int* height) {
    gtk_window_get_default_size(window, width, height);
}

void resizeWindow(GtkWindow* window, int width, int height) {
    gtk_window_set_default_size(window, width, height);
}

void loadCss(GtkCssProvider* provider, const std::string& css) {
    gtk_css_provider_load_from_data(provider, css.c_str(), -1);
}

const char* const kStripCss =
    " .talven-drag-strip { background: transparent; }"
    " .talven-drag-strip menubar { background: transparent; box-shadow: none;"
    "   border: none; min-height: 0; padding: 0; }"
    // The theme's paddings would make the strip taller than the page's free band.
    " .talven-drag-strip menubar > item { min-height: 0; padding-top: 3px;"
    "   padding-bottom: 3px; }"
    " .talven-drag-strip windowcontrols { margin: 0; }"
    " .talven-drag-strip windowcontrols button { min-height: 0; min-width: 0;"
    "   padding: 2px; margin: 0 2px; }"
    " .talven-drag-strip menubar > item,"
    " .talven-drag-strip windowcontrols button { color: @talven_strip_text; }";

WebKitWebContext* newPageContext() {
    return webkit_web_context_new();
}

WebKitWebView* newPageView(WebKitWebContext* context, WebKitUserContentManager* content) {
    // An ephemeral session keeps WebKit from writing caches or cookies for a page that only ever
    // comes from the program's own files.
    WebKitNetworkSession* session = webkit_network_session_new_ephemeral();
    // Everything the program fetches goes through its native side and the vendor-host rule; the
    // web view never saves anything from the network itself.
    g_signal_connect(session, "download-started",
                     G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download, gpointer) {
                         webkit_download_cancel(download);
                     }),
                     nullptr);
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                              "network-session", session, "user-content-manager",
                                              content, nullptr));
    g_object_unref(session);
    return view;
}

void registerMessageHandler(WebKitUserContentManager* content, const char* name) {
    webkit_user_content_manager_register_script_message_handler(content, name, nullptr);
}

JSCValue* scriptMessageValue(gpointer message) {
    return JSC_VALUE(message);
}

std::optional<std::string> finishSnapshotPng(WebKitWebView* view, GAsyncResult* result) {
    GdkTexture* texture = webkit_web_view_get_snapshot_finish(view, result, nullptr);
    if (texture == nullptr) return std::nullopt;
    std::optional<std::string> png = pngOf(texture);
    g_object_unref(texture);
    return png;
}

std::optional<std::string> pngOf(GdkTexture* texture) {
    std::optional<std::string> png;
    if (GBytes* bytes = gdk_texture_save_to_png_bytes(texture)) {
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        png = std::string(data, size);
        g_bytes_unref(bytes);
    }
    return png;
}

}  // namespace suite::gtk
