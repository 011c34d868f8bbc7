// GTK 3 and WebKitGTK 4.1's side of the toolkit seam.
#include "hosts/gtk/Toolkit.h"
#include "hosts/gtk3/SurfacePng.h"

namespace suite::gtk {

// GTK 3 draws with cairo on every machine; there is no renderer to choose.
void prepareToolkit() {}

void destroyWindow(GtkWindow* window) {
    gtk_widget_destroy(GTK_WIDGET(window));
}

void destroyOnClose(GtkWindow* dialog) {
    // GTK 3's dialogs answer a close with a response and stay; the answer takes them down.
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
}

void addIconSearchPath(const std::filesystem::path& folder) {
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder.c_str());
}

std::vector<std::filesystem::path> chosenFiles(GtkFileChooser* chooser) {
    std::vector<std::filesystem::path> chosen;
    GSList* paths = gtk_file_chooser_get_filenames(chooser);
    for (GSList* item = paths; item != nullptr; item = item->next) {
        chosen.emplace_back(static_cast<const char*>(item->data));
    }
    g_slist_free_full(paths, g_free);
    return chosen;
}

int widgetWidth(GtkWidget* widget) {
    return gtk_widget_get_allocated_width(widget);
}

// GTK 3's widgets are made hidden; each one added is shown.
void appendToBox(GtkBox* box, GtkWidget* child) {
    gtk_box_pack_start(box, child, FALSE, FALSE, 0);
    gtk_widget_show(child);
}

void addOverlay(GtkOverlay* overlay, GtkWidget* child) {
    gtk_overlay_add_overlay(overlay, child);
    gtk_widget_show_all(child);
}

void removeOverlay(GtkOverlay* overlay, GtkWidget* child) {
    gtk_container_remove(GTK_CONTAINER(overlay), child);
}

void setAccessibleName(GtkWidget* widget, const std::string& name) {
    atk_object_set_name(gtk_widget_get_accessible(widget), name.c_str());
}

GtkWidget* noticeLabel(const std::string& text) {
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_style_context_add_class(gtk_widget_get_style_context(label), "talven-notice");
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 48);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    gtk_widget_set_halign(label, GTK_ALIGN_CENTER);
    return label;
}

void windowSize(GtkWindow* window, int* width, int* height) {
    gtk_window_get_size(window, width, height);
}

void resizeWindow(GtkWindow* window, int width, int height) {
    gtk_window_set_default_size(window, width, height);
    gtk_window_resize(window, width, height);
}

void loadCss(GtkCssProvider* provider, const std::string& css) {
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

const char* const kStripCss =
    " .talven-drag-strip, .talven-drag-strip headerbar { background: transparent;"
    "   box-shadow: none; border: none; min-height: 0; padding: 0 2px; margin: 0; }"
    " .talven-drag-strip menubar { background: transparent; box-shadow: none;"
    "   border: none; min-height: 0; padding: 0; }"
    // The theme's paddings would make the strip taller than the page's free band.
    " .talven-drag-strip menubar > menuitem { min-height: 0; padding: 3px 5px; }"
    " .talven-drag-strip button.titlebutton { min-height: 0; min-width: 0;"
    "   padding: 2px; margin: 0 1px; }"
    " .talven-drag-strip menubar > menuitem,"
    " .talven-drag-strip button.titlebutton { color: @talven_strip_text; }";

WebKitWebContext* newPageContext() {
    // Ephemeral: WebKit writes no caches or cookies for a page that only ever comes from the
    // program's own files.
    WebKitWebContext* context = webkit_web_context_new_ephemeral();
    // Everything the program fetches goes through its native side and the vendor-host rule; the
    // web view never saves anything from the network itself.
    g_signal_connect(context, "download-started",
                     G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download, gpointer) {
                         webkit_download_cancel(download);
                     }),
                     nullptr);
    return context;
}

WebKitWebView* newPageView(WebKitWebContext* context, WebKitUserContentManager* content) {
    return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                        "user-content-manager", content, nullptr));
}

void registerMessageHandler(WebKitUserContentManager* content, const char* name) {
    webkit_user_content_manager_register_script_message_handler(content, name);
}

JSCValue* scriptMessageValue(gpointer message) {
    return webkit_javascript_result_get_js_value(static_cast<WebKitJavascriptResult*>(message));
}

std::optional<std::string> finishSnapshotPng(WebKitWebView* view, GAsyncResult* result) {
    cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(view, result, nullptr);
    if (surface == nullptr) return std::nullopt;
    std::optional<std::string> png = pngOf(surface);
    cairo_surface_destroy(surface);
    return png;
}

std::optional<std::string> pngOf(cairo_surface_t* surface) {
    std::string png;
    const auto status = cairo_surface_write_to_png_stream(
        surface,
        [](void* out, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    if (status != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return png;
}

}  // namespace suite::gtk
