#include "hosts/gtk/GtkMainWindow.h"

#include <malloc.h>

#include "hosts/gio/GpuProbe.h"
#include "hosts/gtk/Toolkit.h"
#include "hosts/gtk4/FlatBin.h"
#include "hosts/gtk4/TexturePng.h"

namespace suite::gtk {

namespace {

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

struct GtkMainWindow::Signals {
    static gboolean onCloseRequest(GtkWindow*, gpointer data) {
        static_cast<GtkMainWindow*>(data)->closeRequested();
        return TRUE;
    }

    static void onResize(GtkDrawingArea*, int, int, gpointer data) {
        static_cast<GtkMainWindow*>(data)->windowResized();
    }
};

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

    // Tells the delegate about every new size once GTK has laid the page out.
    sizeWatch_ = gtk_drawing_area_new();
    gtk_widget_set_can_target(sizeWatch_, FALSE);
    gtk_widget_set_hexpand(sizeWatch_, TRUE);
    gtk_widget_set_vexpand(sizeWatch_, TRUE);
    g_signal_connect(sizeWatch_, "resize", G_CALLBACK(Signals::onResize), this);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), sizeWatch_);

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
    g_signal_connect(window_, "close-request", G_CALLBACK(Signals::onCloseRequest), this);
    // A menu closed with Escape leaves focus nowhere; the keyboard goes back to the page.
    g_signal_connect_swapped(window_, "notify::focus-widget",
                             G_CALLBACK(+[](GtkMainWindow* self, GParamSpec*, GObject*) {
                                 self->focusPageIfNothingHasFocus();
                             }),
                             this);

    css_ = gtk_css_provider_new();
    gtk_style_context_add_provider_for_display(gtk_widget_get_display(GTK_WIDGET(window_)),
                                               GTK_STYLE_PROVIDER(css_),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    showPage();
}

GtkMainWindow::~GtkMainWindow() {
    // Taking the window down lays it out once more; nothing of that may reach this object.
    g_signal_handlers_disconnect_by_data(sizeWatch_, this);
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
    std::optional<std::string> png = pngOf(texture);
    g_object_unref(texture);
    return png;
}

void GtkMainWindow::setMenuBar(GMenuModel* model, bool rightToLeft, const std::string& name) {
    setAccessibleName(menuBar_, name);
    gtk_popover_menu_bar_set_menu_model(GTK_POPOVER_MENU_BAR(menuBar_), model);
    setDirectionOfTree(strip_, rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
}

void GtkMainWindow::minimize() {
    gtk_window_minimize(window_);
}

}  // namespace suite::gtk
