#pragma once
// A cairo surface as PNG bytes, for the window's and the page's snapshots.
#include <cairo.h>

#include <optional>
#include <string>

namespace suite::gtk {

std::optional<std::string> pngOf(cairo_surface_t* surface);

}  // namespace suite::gtk
