#include "hosts/gtk4/GtkMainWindow.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>

#include "common/Json.h"
#include "hosts/gio/GpuProbe.h"
#include "hosts/gtk4/FlatBin.h"
#include "platform/Files.h"

namespace suite::gtk {

namespace {

constexpr int kLargestSide = 16384;

int clampSide(double value, int minimum) {
    return static_cast<int>(std::clamp(std::lround(value), static_cast<long>(minimum),
                                       static_cast<long>(kLargestSide)));
}

// A widget's direction is its own: children follow the program's default, not their parent, so
// the strip's menus and buttons are each set.
void setDirectionOfTree(GtkWidget* widget, GtkTextDirection direction) {
    gtk_widget_set_direction(widget, direction);
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        setDirectionOfTree(child, direction);
    }
}

// Each new frame of the page is a new picture of the whole window, and GTK's software renderer
// draws it through buffers of that size that it frees at the end of the frame. glibc returns
// blocks that large to the system and maps fresh ones for the next frame, a page fault for every
// 4 KiB: scrolled in a 1180 x 780 window on a virtual machine, the page showed a new frame every
// 52 ms, every 33 ms with the blocks kept in the heap. The program trims the heap when it lets
// its view go.
void keepFrameBuffersForTheNextFrame() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc takes
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

}  // namespace

GtkMainWindow::GtkMainWindow(GtkApplication* app, const WindowSpec& spec, WindowDelegate& delegate,
                             SchemeResponder scheme, GMenuModel* menuBar)
    : spec_(spec),
      delegate_(delegate),
      web_(std::make_unique<GtkWebView>(delegate, std::move(scheme))) {
    keepFrameBuffersForTheNextFrame();
    window_ = GTK_WINDOW(gtk_application_window_new(app));
    g_object_ref(window_);
    gtk_window_set_title(window_, spec.title.c_str());
    gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), FALSE);
    gtk_widget_add_css_class(GTK_WIDGET(window_), "talven-main");
    gtk_window_set_default_size(window_, spec.width, spec.height);

    // An empty title bar: the page itself reaches the top edge and the strip does the title
    // bar's work.
    GtkWidget* noTitlebar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_visible(noTitlebar, FALSE);
    gtk_window_set_titlebar(window_, noTitlebar);

    // The minimum is the page's, so it holds whatever frame the desktop draws around it.
    GtkWidget* overlay = overlay_ = gtk_overlay_new();
    gtk_widget_set_size_request(overlay, spec.minWidth, spec.minHeight);
    gtk_overlay_set_child(GTK_OVERLAY(overlay), web_->widget());

    // What the window has to say itself (the page's files are missing) lies over the empty page.
    if (!spec.notice.empty()) {
        GtkWidget* notice = gtk_label_new(spec.notice.c_str());
        gtk_widget_add_css_class(notice, "talven-notice");
        gtk_widget_set_direction(notice,
                                 spec.noticeRightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
        gtk_label_set_wrap(GTK_LABEL(notice), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(notice), 48);
        gtk_label_set_justify(GTK_LABEL(notice), GTK_JUSTIFY_CENTER);
        gtk_widget_set_halign(notice, GTK_ALIGN_CENTER);
        gtk_widget_set_valign(notice, GTK_ALIGN_CENTER);
        gtk_overlay_add_overlay(GTK_OVERLAY(overlay), notice);
    }

    // Tells the delegate about every new size once GTK has laid the page out.
    probe_ = gtk_drawing_area_new();
    gtk_widget_set_can_target(probe_, FALSE);
    gtk_widget_set_hexpand(probe_, TRUE);
    gtk_widget_set_vexpand(probe_, TRUE);
    g_signal_connect(probe_, "resize", G_CALLBACK(onResize), this);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), probe_);

    // The drag strip: a click and drag moves the window, a double click toggles maximise, and
    // clicks in this band never reach the page.
    strip_ = gtk_window_handle_new();
    gtk_widget_add_css_class(strip_, "talven-drag-strip");
    gtk_widget_set_valign(strip_, GTK_ALIGN_START);
    gtk_widget_set_hexpand(strip_, TRUE);
    gtk_widget_set_size_request(strip_, -1, spec.dragStripHeight);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_size_request(row, -1, spec.dragStripHeight);
    menuBar_ = gtk_popover_menu_bar_new_from_model(menuBar);
    gtk_widget_set_valign(menuBar_, GTK_ALIGN_CENTER);
    gtk_box_append(GTK_BOX(row), menuBar_);
    GtkWidget* spacer = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_hexpand(spacer, TRUE);
    gtk_box_append(GTK_BOX(row), spacer);
    gtk_box_append(GTK_BOX(row), gtk_window_controls_new(GTK_PACK_END));
    // Without a GPU every kind of drawing the strip holds (text, recoloured icons) would cost
    // OpenGL a shader compiled during the window's first frame; drawn flat it is one picture.
    gtk_window_handle_set_child(GTK_WINDOW_HANDLE(strip_),
                                hasGpuRenderNode() ? row : flatBinNew(row));
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), strip_);

    gtk_window_set_child(window_, overlay);
    g_signal_connect(window_, "close-request", G_CALLBACK(onCloseRequest), this);
    g_signal_connect(window_, "notify::is-active", G_CALLBACK(onActiveChanged), this);
    // The page's title is the window's: the task switcher shows an install's progress.
    g_signal_connect(web_->widget(), "notify::title", G_CALLBACK(onTitleChanged), this);

    css_ = gtk_css_provider_new();
    gtk_style_context_add_provider_for_display(gtk_widget_get_display(GTK_WIDGET(window_)),
                                               GTK_STYLE_PROVIDER(css_),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    setBackgroundColor(spec.background);
    restoreFrame();
    web_->loadUri(spec.startUri);
}

GtkMainWindow::~GtkMainWindow() {
    // Taking the window down lays it out once more; nothing of that may reach this object.
    g_signal_handlers_disconnect_by_data(probe_, this);
    g_signal_handlers_disconnect_by_data(window_, this);
    g_signal_handlers_disconnect_by_data(web_->widget(), this);
    if (resizeSource_ != 0) g_source_remove(resizeSource_);
    gtk_style_context_remove_provider_for_display(gtk_widget_get_display(GTK_WIDGET(window_)),
                                                  GTK_STYLE_PROVIDER(css_));
    g_object_unref(css_);
    gtk_window_destroy(window_);
    g_object_unref(window_);
    if (gone_) gone_();
}

void GtkMainWindow::present() {
    gtk_window_present(window_);
}

// GTK has no way to raise a window over the active program's; presenting is the closest thing.
void GtkMainWindow::orderFrontRegardless() {
    gtk_window_present(window_);
}

void GtkMainWindow::hide() {
    rememberFrame();
    gtk_widget_set_visible(GTK_WIDGET(window_), FALSE);
}

bool GtkMainWindow::isVisible() const {
    return gtk_widget_get_visible(GTK_WIDGET(window_));
}

bool GtkMainWindow::isActive() const {
    return gtk_window_is_active(window_);
}

void GtkMainWindow::setContentSize(double width, double height) {
    if (!std::isfinite(width) || !std::isfinite(height)) return;
    if (gtk_window_is_maximized(window_)) gtk_window_unmaximize(window_);
    gtk_window_set_default_size(window_, clampSide(width, spec_.minWidth),
                                clampSide(height, spec_.minHeight));
}

std::string windowCss(const Rgba& color) {
    // The strip's menus and window buttons sit on the page; they take a text colour that reads
    // on the window's colour, whatever the desktop theme is.
    bool darkBackground = 0.2126 * color.red + 0.7152 * color.green + 0.0722 * color.blue < 0.5;
    const char* text = darkBackground ? "rgba(235, 240, 250, 0.92)" : "rgba(20, 26, 38, 0.88)";
    // CSS wants a decimal point whatever the locale says ("1,000" under de_DE is a parse error).
    char alpha[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(alpha, sizeof alpha, "%.3f", color.alpha);
    gchar* css = g_strdup_printf(
        "window.talven-main { background-color: rgba(%d, %d, %d, %s); }"
        // Without a compositor the theme frames the window with inset shadows, which would lie
        // over the page's edges and cost every full frame two window-sized shadows.
        " window.talven-main.solid-csd { padding: 0; border-width: 0; box-shadow: none; }"
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
        " .talven-drag-strip windowcontrols button, .talven-notice { color: %s; }"
        " .talven-notice { font-size: 15px; }",
        static_cast<int>(std::lround(color.red * 255)),
        static_cast<int>(std::lround(color.green * 255)),
        static_cast<int>(std::lround(color.blue * 255)), alpha, text);
    std::string result = css;
    g_free(css);
    return result;
}

std::optional<std::string> GtkMainWindow::snapshotPng() const {
    // The window's child: the page and the strip over it (the window itself adds only its frame).
    GtkWidget* widget = gtk_window_get_child(window_);
    const int width = gtk_widget_get_width(widget);
    const int height = gtk_widget_get_height(widget);
    GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window_));
    if (!widget || !gtk_widget_get_mapped(widget) || !renderer || width <= 0 || height <= 0)
        return std::nullopt;
    // A widget's paintable draws what the widget draws, the web view's last frame within.
    GdkPaintable* paintable = gtk_widget_paintable_new(widget);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, width, height);
    g_object_unref(paintable);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    if (!node) return std::nullopt;
    graphene_rect_t bounds;
    graphene_rect_init(&bounds, 0, 0, static_cast<float>(width), static_cast<float>(height));
    GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &bounds);
    gsk_render_node_unref(node);
    std::optional<std::string> png;
    if (GBytes* bytes = gdk_texture_save_to_png_bytes(texture)) {
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        png = std::string(data, size);
        g_bytes_unref(bytes);
    }
    g_object_unref(texture);
    return png;
}

void GtkMainWindow::setBackgroundColor(const Rgba& color) {
    gtk_css_provider_load_from_data(css_, windowCss(color).c_str(), -1);
}

void GtkMainWindow::showReloadNotice(const ReloadNotice& notice) {
    if (reloadNotice_ != nullptr) return;
    reloadNotice_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_widget_set_direction(reloadNotice_,
                             notice.rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
    gtk_widget_set_halign(reloadNotice_, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(reloadNotice_, GTK_ALIGN_CENTER);
    GtkWidget* text = gtk_label_new(notice.text.c_str());
    gtk_widget_add_css_class(text, "talven-notice");
    gtk_label_set_wrap(GTK_LABEL(text), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(text), 48);
    gtk_label_set_justify(GTK_LABEL(text), GTK_JUSTIFY_CENTER);
    gtk_box_append(GTK_BOX(reloadNotice_), text);
    GtkWidget* button = gtk_button_new_with_label(notice.button.c_str());
    gtk_widget_set_halign(button, GTK_ALIGN_CENTER);
    g_signal_connect(button, "clicked", G_CALLBACK(onReloadClicked), this);
    gtk_box_append(GTK_BOX(reloadNotice_), button);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), reloadNotice_);
    gtk_widget_grab_focus(button);
}

void GtkMainWindow::onReloadClicked(GtkButton*, gpointer data) {
    auto* self = static_cast<GtkMainWindow*>(data);
    gtk_overlay_remove_overlay(GTK_OVERLAY(self->overlay_), self->reloadNotice_);
    self->reloadNotice_ = nullptr;
    self->delegate_.reloadRequested();
}

void GtkMainWindow::setMenuBar(GMenuModel* model, bool rightToLeft) {
    gtk_popover_menu_bar_set_menu_model(GTK_POPOVER_MENU_BAR(menuBar_), model);
    setDirectionOfTree(strip_, rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
}

void GtkMainWindow::minimize() {
    gtk_window_minimize(window_);
}

void GtkMainWindow::close() {
    gtk_window_close(window_);
}

void GtkMainWindow::rememberFrame() const {
    if (spec_.frameFile.empty() || !gtk_widget_get_visible(GTK_WIDGET(window_))) return;
    int width = 0, height = 0;
    gtk_window_get_default_size(window_, &width, &height);
    Json frame = {{"width", width},
                  {"height", height},
                  {"maximized", static_cast<bool>(gtk_window_is_maximized(window_))},
                  {"zoom", userZoom_}};
    std::error_code ignored;
    std::filesystem::create_directories(spec_.frameFile.parent_path(), ignored);
    writeFileAtomically(spec_.frameFile, frame.dump(2) + "\n");
}

void GtkMainWindow::restoreFrame() {
    if (spec_.frameFile.empty()) return;
    auto text = readWholeFile(spec_.frameFile);
    if (!text) return;
    Json frame = parseJson(*text);
    if (!frame.is_object()) return;
    auto width = frame.find("width"), height = frame.find("height");
    if (width != frame.end() && height != frame.end() && width->is_number() &&
        height->is_number()) {
        gtk_window_set_default_size(window_, clampSide(width->get<double>(), spec_.minWidth),
                                    clampSide(height->get<double>(), spec_.minHeight));
    }
    if (boolMember(frame, "maximized") == true) gtk_window_maximize(window_);
    // Whether the value is usable is the application's rule; here it is only kept.
    auto zoom = frame.find("zoom");
    if (zoom != frame.end() && zoom->is_number()) userZoom_ = zoom->get<double>();
}

gboolean GtkMainWindow::onCloseRequest(GtkWindow*, gpointer data) {
    auto* self = static_cast<GtkMainWindow*>(data);
    if (!self->delegate_.windowShouldClose()) return TRUE;
    // The window is kept, not destroyed, so that it can be shown again as it was.
    self->rememberFrame();
    gtk_widget_set_visible(GTK_WIDGET(self->window_), FALSE);
    self->delegate_.windowDidClose();
    return TRUE;
}

void GtkMainWindow::onTitleChanged(GObject* view, GParamSpec*, gpointer data) {
    const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(view));
    if (title != nullptr && *title != '\0')
        gtk_window_set_title(static_cast<GtkMainWindow*>(data)->window_, title);
}

void GtkMainWindow::onActiveChanged(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<GtkMainWindow*>(data);
    if (gtk_window_is_active(self->window_)) self->delegate_.windowDidBecomeActive();
}

void GtkMainWindow::onResize(GtkDrawingArea*, int, int, gpointer data) {
    auto* self = static_cast<GtkMainWindow*>(data);
    // Zooming during layout would lay the page out again from inside the layout; wait for it
    // to finish.
    if (self->resizeSource_ != 0) return;
    self->resizeSource_ = g_idle_add(
        [](gpointer data) -> gboolean {
            auto* self = static_cast<GtkMainWindow*>(data);
            self->resizeSource_ = 0;
            self->delegate_.windowDidResize();
            return G_SOURCE_REMOVE;
        },
        self);
}

}  // namespace suite::gtk
