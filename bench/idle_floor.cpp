// The idle floor: a GTK application (of the program's toolkit) that keeps running with no window,
// as any program waiting in the background does. idle_footprint.py sets the program, hidden and
// idle, against it.
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    GtkApplication* app =
        gtk_application_new("com.brenlow.talven.bench.idlefloor", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(+[](GtkApplication* self, gpointer) {
                         g_application_hold(G_APPLICATION(self));
                     }),
                     nullptr);
    const int status = g_application_run(G_APPLICATION(app), argc, argv);
    g_object_unref(app);
    return status;
}
