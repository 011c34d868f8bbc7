#pragma once
// A GDK texture as PNG bytes, for the window's and the page's snapshots.
#include <gtk/gtk.h>

#include <optional>
#include <string>

namespace suite::gtk {

std::optional<std::string> pngOf(GdkTexture* texture);

}  // namespace suite::gtk
