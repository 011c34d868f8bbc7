#pragma once
// MIME types from GIO's content types (shared-mime-info), by file name only; thumbnails decoded
// and encoded by gdk-pixbuf.
#include "platform/FileTypes.h"

namespace suite::gtk {

class GioFileTypes final : public FileTypes {
  public:
    std::optional<std::string> mimeTypeForName(const std::string& fileName) const override;
};

class PixbufThumbnailer final : public Thumbnailer {
  public:
    std::optional<PixelSize> pictureSize(const std::filesystem::path& file) override;
    std::optional<std::string> jpegOf(const std::filesystem::path& file, PixelSize size,
                                      int quality) override;
};

}  // namespace suite::gtk
