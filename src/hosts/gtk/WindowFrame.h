#pragma once
// What the main window keeps between starts (its size, whether it was maximised, the user's
// zoom) and the colours of its style sheet: the same on every toolkit.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Window.h"

namespace suite::gtk {

struct WindowFrame {
    int width = 0;
    int height = 0;
    bool maximized = false;
    double zoom = 1.0;
};

// A side of the window within `minimum` and the largest window any toolkit can make.
int clampSide(double value, int minimum);

// The frame stored in `file`; nothing when there is none or it cannot be read. The sizes are as
// stored: the caller clamps them to its minimum.
std::optional<WindowFrame> readWindowFrame(const std::filesystem::path& file);
void writeWindowFrame(const std::filesystem::path& file, const WindowFrame& frame);

// The window's style sheet for a window of `color`: its background, and the colour
// "talven_strip_text" in which the strip's menus, buttons and notices read on it, for the
// toolkit's own rules (`stripRules`) to use.
std::string windowCss(const Rgba& color, const char* stripRules);

}  // namespace suite::gtk
