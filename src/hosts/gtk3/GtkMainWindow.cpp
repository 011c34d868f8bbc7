// The main window on GTK 3: an overlay holds the page, and over its top band a header bar with
// the menus and the window buttons, inside an event box that moves or maximises the window.
#include "hosts/gtk/GtkMainWindow.h"

#include "hosts/gtk/Toolkit.h"
#include "hosts/gtk3/SurfacePng.h"

namespace suite::gtk {

namespace {

// A widget's direction is its own: children follow the program's default, not their parent, so
// the strip's menus and buttons are each set.
void setDirectionOfTree(GtkWidget* widget, gpointer direction) {
    gtk_widget_set_direction(widget, static_cast<GtkTextDirection>(GPOINTER_TO_INT(direction)));
    if (GTK_IS_CONTAINER(widget)) {
        gtk_container_forall(GTK_CONTAINER(widget), setDirectionOfTree, direction);
    }
}

}  // namespace

struct GtkMainWindow::Signals {
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
        static_cast<GtkMainWindow*>(data)->closeRequested();
        return TRUE;
    }

    static void onSizeAllocate(GtkWidget*, GdkRectangle*, gpointer data) {
        static_cast<GtkMainWindow*>(data)->windowResized();
    }

    // GTK 3 moves a window by its title bar only; the strip lies over the page, so it moves the
    // window itself: a press and drag moves it, a double click toggles maximise.
    static gboolean onStripPress(GtkWidget*, GdkEventButton* event, gpointer data) {
        auto* self = static_cast<GtkMainWindow*>(data);
        if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
        if (event->type == GDK_2BUTTON_PRESS) {
            if (gtk_window_is_maximized(self->window_)) {
                gtk_window_unmaximize(self->window_);
            } else {
                gtk_window_maximize(self->window_);
            }
            return TRUE;
        }
        if (event->type != GDK_BUTTON_PRESS) return FALSE;
        gtk_window_begin_move_drag(self->window_, static_cast<int>(event->button),
                                   static_cast<int>(event->x_root), static_cast<int>(event->y_root),
                                   event->time);
        return TRUE;
    }
};

GtkMainWindow::GtkMainWindow(GtkApplication* app, const WindowSpec& spec, WindowDelegate& delegate,
                             SchemeResponder scheme, GMenuModel* menuBar)
    : spec_(spec),
      delegate_(delegate),
      web_(std::make_unique<GtkWebView>(delegate, std::move(scheme))) {
    window_ = GTK_WINDOW(gtk_application_window_new(app));
    g_object_ref(window_);
    gtk_window_set_title(window_, spec.title.c_str());
    gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(window_)), "talven-main");
    gtk_window_set_default_size(window_, spec.width, spec.height);

    // An empty title bar: the page itself reaches the top edge and the strip does the title
    // bar's work.
    GtkWidget* noTitlebar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_window_set_titlebar(window_, noTitlebar);

    // The minimum is the page's, so it holds whatever frame the desktop draws around it.
    GtkWidget* overlay = overlay_ = gtk_overlay_new();
    gtk_widget_set_size_request(overlay, spec.minWidth, spec.minHeight);
    gtk_container_add(GTK_CONTAINER(overlay), web_->widget());

    // The page's new sizes, once GTK has laid it out.
    sizeWatch_ = web_->widget();
    g_signal_connect(sizeWatch_, "size-allocate", G_CALLBACK(Signals::onSizeAllocate), this);

    strip_ = gtk_event_box_new();
    gtk_style_context_add_class(gtk_widget_get_style_context(strip_), "talven-drag-strip");
    gtk_widget_set_valign(strip_, GTK_ALIGN_START);
    gtk_widget_set_hexpand(strip_, TRUE);
    gtk_widget_set_size_request(strip_, -1, spec.dragStripHeight);
    g_signal_connect(strip_, "button-press-event", G_CALLBACK(Signals::onStripPress), this);
    // A header bar that is not the window's title bar still draws the window buttons the
    // desktop's layout asks for, and they act on the window it is in.
    GtkWidget* row = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(row), TRUE);
    gtk_header_bar_set_has_subtitle(GTK_HEADER_BAR(row), FALSE);
    // Tight, so the menus and the buttons fit side by side down to the window's smallest width.
    g_object_set(row, "spacing", 0, nullptr);
    gtk_header_bar_set_custom_title(GTK_HEADER_BAR(row),
                                    gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0));
    gtk_widget_set_size_request(row, -1, spec.dragStripHeight);
    menuBar_ = gtk_menu_bar_new_from_model(menuBar);
    gtk_widget_set_valign(menuBar_, GTK_ALIGN_CENTER);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(row), menuBar_);
    // F10 and Escape leave the keyboard in the page, not on the closed menu bar.
    g_signal_connect_swapped(menuBar_, "deactivate",
                             G_CALLBACK(+[](GtkMainWindow* self, GtkMenuShell*) {
                                 gtk_widget_grab_focus(self->web_->widget());
                             }),
                             this);
    gtk_container_add(GTK_CONTAINER(strip_), row);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), strip_);

    gtk_container_add(GTK_CONTAINER(window_), overlay);
    gtk_widget_show_all(overlay);
    g_signal_connect(window_, "delete-event", G_CALLBACK(Signals::onDelete), this);

    css_ = gtk_css_provider_new();
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(GTK_WIDGET(window_)),
                                              GTK_STYLE_PROVIDER(css_),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    showPage();
}

GtkMainWindow::~GtkMainWindow() {
    // Taking the window down lays it out once more; nothing of that may reach this object.
    g_signal_handlers_disconnect_by_data(sizeWatch_, this);
    g_signal_handlers_disconnect_by_data(strip_, this);
    g_signal_handlers_disconnect_by_data(menuBar_, this);
    g_signal_handlers_disconnect_by_data(window_, this);
    g_signal_handlers_disconnect_by_data(web_->widget(), this);
    if (resizeSource_ != 0) g_source_remove(resizeSource_);
    gtk_style_context_remove_provider_for_screen(gtk_widget_get_screen(GTK_WIDGET(window_)),
                                                 GTK_STYLE_PROVIDER(css_));
    g_object_unref(css_);
    gtk_widget_destroy(GTK_WIDGET(window_));
    g_object_unref(window_);
    if (gone_) gone_();
}

std::optional<std::string> GtkMainWindow::snapshotPng() const {
    // The window's child: the page and the strip over it (the window itself adds only its frame).
    GtkWidget* widget = gtk_bin_get_child(GTK_BIN(window_));
    if (widget == nullptr || !gtk_widget_get_mapped(widget)) return std::nullopt;
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (width <= 0 || height <= 0) return std::nullopt;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    std::optional<std::string> png = pngOf(surface);
    cairo_surface_destroy(surface);
    return png;
}

void GtkMainWindow::setMenuBar(GMenuModel* model, bool rightToLeft, const std::string& name) {
    setAccessibleName(menuBar_, name);
    gtk_menu_shell_bind_model(GTK_MENU_SHELL(menuBar_), model, nullptr, TRUE);
    gtk_widget_show_all(menuBar_);
    setDirectionOfTree(strip_, GINT_TO_POINTER(rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR));
}

void GtkMainWindow::minimize() {
    gtk_window_iconify(window_);
}

}  // namespace suite::gtk
