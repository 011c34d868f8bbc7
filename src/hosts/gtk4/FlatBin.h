#pragma once
// A container that hands the renderer its child's drawing as one picture.
//
// GTK's OpenGL renderer draws each kind of render node (text, recoloured icons, shadows) with a
// shader of its own. Emulated on the CPU, as on a machine without a GPU, every such shader is
// compiled the first time it is used, and a window's first frame pays for all of them. Drawn
// flat, the child costs one picture drawn the way the page's own picture already is.
#include <gtk/gtk.h>

namespace suite::gtk {

// A new widget holding `child`; it draws `child` through cairo into one picture.
GtkWidget* flatBinNew(GtkWidget* child);

}  // namespace suite::gtk
