#include "hosts/gtk4/FlatBin.h"

namespace suite::gtk {

namespace {

struct SuiteFlatBin {
    GtkWidget parent;
};

struct SuiteFlatBinClass {
    GtkWidgetClass parent;
};

G_DEFINE_TYPE(SuiteFlatBin, suite_flat_bin, GTK_TYPE_WIDGET)

void flatBinSnapshot(GtkWidget* widget, GtkSnapshot* snapshot) {
    GtkSnapshot* inner = gtk_snapshot_new();
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        gtk_widget_snapshot_child(widget, child, inner);
    }
    GskRenderNode* node = gtk_snapshot_free_to_node(inner);
    if (node == nullptr) return;
    graphene_rect_t bounds;
    gsk_render_node_get_bounds(node, &bounds);
    cairo_t* cr = gtk_snapshot_append_cairo(snapshot, &bounds);
    gsk_render_node_draw(node, cr);
    cairo_destroy(cr);
    gsk_render_node_unref(node);
}

void flatBinDispose(GObject* object) {
    while (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(object))) {
        gtk_widget_unparent(child);
    }
    G_OBJECT_CLASS(suite_flat_bin_parent_class)->dispose(object);
}

void suite_flat_bin_class_init(SuiteFlatBinClass* klass) {
    G_OBJECT_CLASS(klass)->dispose = flatBinDispose;
    GTK_WIDGET_CLASS(klass)->snapshot = flatBinSnapshot;
    gtk_widget_class_set_layout_manager_type(GTK_WIDGET_CLASS(klass), GTK_TYPE_BIN_LAYOUT);
    // Nothing to act on itself: assistive technologies see it as a plain container.
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), GTK_ACCESSIBLE_ROLE_GROUP);
}

void suite_flat_bin_init(SuiteFlatBin*) {}

}  // namespace

GtkWidget* flatBinNew(GtkWidget* child) {
    GtkWidget* bin = GTK_WIDGET(g_object_new(suite_flat_bin_get_type(), nullptr));
    gtk_widget_set_parent(child, bin);
    return bin;
}

}  // namespace suite::gtk
