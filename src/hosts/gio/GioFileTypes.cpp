#include "hosts/gio/GioFileTypes.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace suite::gtk {

std::optional<std::string> GioFileTypes::mimeTypeForName(const std::string& fileName) const {
    // No data: the name alone decides, as on the other host's type registry.
    gchar* type = g_content_type_guess(fileName.c_str(), nullptr, 0, nullptr);
    if (type == nullptr) return std::nullopt;
    gchar* mime = g_content_type_get_mime_type(type);
    g_free(type);
    if (mime == nullptr) return std::nullopt;
    std::string out = mime;
    g_free(mime);
    return out;
}

namespace {

// The picture's EXIF orientation (1 to 8; 1 when it has none). Only JPEG and TIFF carry one here;
// it is read from a small decode, which libjpeg makes cheap, since gdk-pixbuf says nothing of it
// from the header alone.
int orientationOf(const std::filesystem::path& file) {
    GdkPixbufFormat* format = gdk_pixbuf_get_file_info(file.c_str(), nullptr, nullptr);
    gchar* name = format != nullptr ? gdk_pixbuf_format_get_name(format) : nullptr;
    const bool mayCarryOne =
        name != nullptr && (g_str_equal(name, "jpeg") || g_str_equal(name, "tiff"));
    g_free(name);
    if (!mayCarryOne) return 1;
    GdkPixbuf* small = gdk_pixbuf_new_from_file_at_scale(file.c_str(), 8, 8, TRUE, nullptr);
    if (small == nullptr) return 1;
    const gchar* value = gdk_pixbuf_get_option(small, "orientation");
    const int orientation = value != nullptr ? std::atoi(value) : 1;
    g_object_unref(small);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// Orientations 5 to 8 turn the picture a quarter: its width is stored as its height.
bool turnsAQuarter(int orientation) {
    return orientation >= 5;
}

}  // namespace

// The size as the picture is meant to be seen: a portrait phone photo stored sideways is
// portrait here.
std::optional<PixelSize> PixbufThumbnailer::pictureSize(const std::filesystem::path& file) {
    int width = 0, height = 0;
    if (gdk_pixbuf_get_file_info(file.c_str(), &width, &height) == nullptr) return std::nullopt;
    if (turnsAQuarter(orientationOf(file))) std::swap(width, height);
    return PixelSize{width, height};
}

std::optional<std::string> PixbufThumbnailer::jpegOf(const std::filesystem::path& file,
                                                     PixelSize size, int quality) {
    // Asking the loader for about the final size lets the JPEG decoder skip most of a large
    // photo's detail (libjpeg's 1/2 to 1/8 scaling) before the exact scale. The box is square
    // because the stored picture may lie turned a quarter; the loaded one carries its
    // orientation, so it is not read a second time.
    const int side = std::max(size.width, size.height);
    GdkPixbuf* loaded = gdk_pixbuf_new_from_file_at_scale(file.c_str(), side, side, TRUE, nullptr);
    if (loaded == nullptr) return std::nullopt;
    GdkPixbuf* picture = gdk_pixbuf_apply_embedded_orientation(loaded);
    g_object_unref(loaded);
    if (picture == nullptr) return std::nullopt;
    const bool exact = gdk_pixbuf_get_width(picture) == size.width &&
                       gdk_pixbuf_get_height(picture) == size.height;
    if (!exact || gdk_pixbuf_get_has_alpha(picture)) {
        // JPEG has no alpha: transparent parts are laid on white, as the page shows them.
        GdkPixbuf* scaled =
            gdk_pixbuf_get_has_alpha(picture)
                ? gdk_pixbuf_composite_color_simple(picture, size.width, size.height,
                                                    GDK_INTERP_BILINEAR, 255, 8, 0xffffff, 0xffffff)
                : gdk_pixbuf_scale_simple(picture, size.width, size.height, GDK_INTERP_BILINEAR);
        g_object_unref(picture);
        if (scaled == nullptr) return std::nullopt;
        picture = scaled;
    }
    gchar* buffer = nullptr;
    gsize length = 0;
    const std::string level = std::to_string(quality);
    const gboolean saved = gdk_pixbuf_save_to_buffer(picture, &buffer, &length, "jpeg", nullptr,
                                                     "quality", level.c_str(), nullptr);
    g_object_unref(picture);
    if (!saved) return std::nullopt;
    std::string out(buffer, length);
    g_free(buffer);
    return out;
}

}  // namespace suite::gtk
