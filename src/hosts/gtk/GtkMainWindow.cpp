// The main window's behaviour, the same on every toolkit; how each builds and draws it is in
// its own folder.
#include "hosts/gtk/GtkMainWindow.h"

#include <cmath>

#include "hosts/gtk/Toolkit.h"

namespace suite::gtk {

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

void GtkMainWindow::close() {
    gtk_window_close(window_);
}

void GtkMainWindow::setContentSize(double width, double height) {
    if (!std::isfinite(width) || !std::isfinite(height)) return;
    if (gtk_window_is_maximized(window_)) gtk_window_unmaximize(window_);
    resizeWindow(window_, clampSide(width, spec_.minWidth), clampSide(height, spec_.minHeight));
}

void GtkMainWindow::setBackgroundColor(const Rgba& color) {
    loadCss(css_, windowCss(color, kStripCss));
}

void GtkMainWindow::showReloadNotice(const ReloadNotice& notice) {
    if (reloadNotice_ != nullptr) return;
    reloadNotice_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_widget_set_direction(reloadNotice_,
                             notice.rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
    gtk_widget_set_halign(reloadNotice_, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(reloadNotice_, GTK_ALIGN_CENTER);
    appendToBox(GTK_BOX(reloadNotice_), noticeLabel(notice.text));
    GtkWidget* button = gtk_button_new_with_label(notice.button.c_str());
    gtk_widget_set_halign(button, GTK_ALIGN_CENTER);
    g_signal_connect_swapped(button, "clicked", G_CALLBACK(+[](GtkMainWindow* self, GtkButton*) {
                                 removeOverlay(GTK_OVERLAY(self->overlay_), self->reloadNotice_);
                                 self->reloadNotice_ = nullptr;
                                 self->delegate_.reloadRequested();
                             }),
                             this);
    appendToBox(GTK_BOX(reloadNotice_), button);
    addOverlay(GTK_OVERLAY(overlay_), reloadNotice_);
    gtk_widget_grab_focus(button);
}

void GtkMainWindow::rememberFrame() const {
    if (spec_.frameFile.empty() || !gtk_widget_get_visible(GTK_WIDGET(window_))) return;
    WindowFrame frame;
    windowSize(window_, &frame.width, &frame.height);
    frame.maximized = gtk_window_is_maximized(window_);
    frame.zoom = userZoom_;
    writeWindowFrame(spec_.frameFile, frame);
}

void GtkMainWindow::restoreFrame() {
    if (spec_.frameFile.empty()) return;
    const auto frame = readWindowFrame(spec_.frameFile);
    if (!frame) return;
    if (frame->width > 0 && frame->height > 0) {
        resizeWindow(window_, clampSide(frame->width, spec_.minWidth),
                     clampSide(frame->height, spec_.minHeight));
    }
    if (frame->maximized) gtk_window_maximize(window_);
    userZoom_ = frame->zoom;
}

void GtkMainWindow::showPage() {
    // What the window has to say itself (the page's files are missing) lies over the empty page.
    if (!spec_.notice.empty()) {
        GtkWidget* notice = noticeLabel(spec_.notice);
        gtk_widget_set_direction(notice,
                                 spec_.noticeRightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
        gtk_widget_set_valign(notice, GTK_ALIGN_CENTER);
        addOverlay(GTK_OVERLAY(overlay_), notice);
    }
    setBackgroundColor(spec_.background);
    // Screen readers call the page by the program's name, not by the widget's class.
    setAccessibleName(web_->widget(), spec_.title);
    restoreFrame();
    // The page's title is the window's: the task switcher shows an install's progress.
    g_signal_connect_swapped(
        web_->widget(), "notify::title",
        G_CALLBACK(+[](GtkMainWindow* self, GParamSpec*, GObject*) {
            const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(self->web_->widget()));
            if (title != nullptr && *title != '\0') gtk_window_set_title(self->window_, title);
        }),
        this);
    g_signal_connect_swapped(window_, "notify::is-active",
                             G_CALLBACK(+[](GtkMainWindow* self, GParamSpec*, GObject*) {
                                 if (!gtk_window_is_active(self->window_)) return;
                                 self->focusPageIfNothingHasFocus();
                                 self->delegate_.windowDidBecomeActive();
                             }),
                             this);
    web_->loadUri(spec_.startUri);
}

// Keyboard users never end up nowhere: when focus has left every widget (a menu closed with
// Escape, the window shown again), it goes back to the page.
void GtkMainWindow::focusPageIfNothingHasFocus() {
    if (gtk_window_get_focus(window_) == nullptr) gtk_widget_grab_focus(web_->widget());
}

void GtkMainWindow::closeRequested() {
    if (!delegate_.windowShouldClose()) return;
    // The window is kept, not destroyed, so that it can be shown again as it was.
    rememberFrame();
    gtk_widget_set_visible(GTK_WIDGET(window_), FALSE);
    delegate_.windowDidClose();
}

void GtkMainWindow::windowResized() {
    // Zooming during layout would lay the page out again from inside the layout; wait for it
    // to finish.
    if (resizeSource_ != 0) return;
    resizeSource_ = g_idle_add(
        [](gpointer data) -> gboolean {
            auto* self = static_cast<GtkMainWindow*>(data);
            self->resizeSource_ = 0;
            self->delegate_.windowDidResize();
            return G_SOURCE_REMOVE;
        },
        this);
}

}  // namespace suite::gtk
