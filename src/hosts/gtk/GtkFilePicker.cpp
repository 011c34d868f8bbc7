#include "hosts/gtk/GtkFilePicker.h"

#include <gtk/gtk.h>

#include "hosts/gtk/GtkMainWindow.h"

namespace suite::gtk {

namespace {

using Done = std::function<void(std::optional<std::vector<std::filesystem::path>>)>;

void onResponse(GtkNativeDialog* dialog, int response, gpointer data) {
    auto* done = static_cast<Done*>(data);
    std::optional<std::vector<std::filesystem::path>> chosen;
    if (response == GTK_RESPONSE_ACCEPT) {
        chosen = chosenFiles(GTK_FILE_CHOOSER(dialog));
    }
    Done call = std::move(*done);
    delete done;
    g_object_unref(dialog);
    call(std::move(chosen));
}

}  // namespace

void GtkFilePicker::pickFiles(Window* parent, const FilePickerText& text, Done done) {
    auto* main = dynamic_cast<GtkMainWindow*>(parent);
    GtkFileChooserNative* dialog =
        gtk_file_chooser_native_new(text.title.c_str(), main ? main->gtkWindow() : nullptr,
                                    GTK_FILE_CHOOSER_ACTION_OPEN, text.accept.c_str(), nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_select_multiple(chooser, TRUE);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, text.filter.c_str());
    gtk_file_filter_add_mime_type(filter, "image/*");
    gtk_file_filter_add_mime_type(filter, "video/*");
    gtk_file_chooser_add_filter(chooser, filter);
    g_object_unref(filter);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), TRUE);
    g_signal_connect(dialog, "response", G_CALLBACK(onResponse), new Done(std::move(done)));
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

}  // namespace suite::gtk
