#include "hosts/gtk/WindowFrame.h"

#include <glib.h>

#include <algorithm>
#include <cmath>

#include "common/Json.h"
#include "platform/Files.h"

namespace suite::gtk {

namespace {

constexpr int kLargestSide = 16384;

}  // namespace

int clampSide(double value, int minimum) {
    return static_cast<int>(std::clamp(std::lround(value), static_cast<long>(minimum),
                                       static_cast<long>(kLargestSide)));
}

std::optional<WindowFrame> readWindowFrame(const std::filesystem::path& file) {
    auto text = readWholeFile(file);
    if (!text) return std::nullopt;
    Json stored = parseJson(*text);
    if (!stored.is_object()) return std::nullopt;
    WindowFrame frame;
    auto width = stored.find("width"), height = stored.find("height");
    if (width != stored.end() && height != stored.end() && width->is_number() &&
        height->is_number()) {
        frame.width = clampSide(width->get<double>(), 0);
        frame.height = clampSide(height->get<double>(), 0);
    }
    frame.maximized = boolMember(stored, "maximized") == true;
    // Whether the value is usable is the application's rule; here it is only kept.
    auto zoom = stored.find("zoom");
    if (zoom != stored.end() && zoom->is_number()) frame.zoom = zoom->get<double>();
    return frame;
}

void writeWindowFrame(const std::filesystem::path& file, const WindowFrame& frame) {
    Json stored = {{"width", frame.width},
                   {"height", frame.height},
                   {"maximized", frame.maximized},
                   {"zoom", frame.zoom}};
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    writeFileAtomically(file, stored.dump(2) + "\n");
}

std::string windowCss(const Rgba& color, const char* stripRules) {
    // The strip's menus and window buttons sit on the page; they take a text colour that reads
    // on the window's colour, whatever the desktop theme is.
    bool darkBackground = 0.2126 * color.red + 0.7152 * color.green + 0.0722 * color.blue < 0.5;
    const char* text = darkBackground ? "rgba(235, 240, 250, 0.92)" : "rgba(20, 26, 38, 0.88)";
    // CSS wants a decimal point whatever the locale says ("1,000" under de_DE is a parse error).
    char alpha[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(alpha, sizeof alpha, "%.3f", color.alpha);
    gchar* css = g_strdup_printf(
        "@define-color talven_strip_text %s;"
        " window.talven-main { background-color: rgba(%d, %d, %d, %s); }"
        // Without a compositor the theme frames the window with inset shadows, which would lie
        // over the page's edges and cost every full frame two window-sized shadows.
        " window.talven-main.solid-csd { padding: 0; border-width: 0; box-shadow: none; }"
        " .talven-notice { color: @talven_strip_text; font-size: 15px; }",
        text, static_cast<int>(std::lround(color.red * 255)),
        static_cast<int>(std::lround(color.green * 255)),
        static_cast<int>(std::lround(color.blue * 255)), alpha);
    std::string result = css;
    g_free(css);
    return result + stripRules;
}

}  // namespace suite::gtk
