#include "platform/gtk/GioFileTypes.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

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

std::optional<PixelSize> PixbufThumbnailer::pictureSize(const std::filesystem::path& file) {
    int width = 0, height = 0;
    if (gdk_pixbuf_get_file_info(file.c_str(), &width, &height) == nullptr) return std::nullopt;
    return PixelSize{width, height};
}

std::optional<std::string> PixbufThumbnailer::jpegOf(const std::filesystem::path& file,
                                                     PixelSize size, int quality) {
    // Asking the loader for the final size lets the JPEG decoder skip most of a large photo's
    // detail (libjpeg's 1/2 to 1/8 scaling) before the exact scale.
    GdkPixbuf* picture =
        gdk_pixbuf_new_from_file_at_scale(file.c_str(), size.width, size.height, FALSE, nullptr);
    if (picture == nullptr) return std::nullopt;
    const bool exact = gdk_pixbuf_get_width(picture) == size.width &&
                       gdk_pixbuf_get_height(picture) == size.height;
    if (!exact || gdk_pixbuf_get_has_alpha(picture)) {
        // JPEG has no alpha: transparent parts come out black, as a premultiplied bitmap would.
        GdkPixbuf* scaled =
            gdk_pixbuf_get_has_alpha(picture)
                ? gdk_pixbuf_composite_color_simple(picture, size.width, size.height,
                                                    GDK_INTERP_BILINEAR, 255, 8, 0, 0)
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
