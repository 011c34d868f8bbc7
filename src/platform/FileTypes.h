#pragma once
// What the desktop's type registry says about files, and its picture codec.
#include <filesystem>
#include <optional>
#include <string>

namespace suite {

struct PixelSize {
    int width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

class FileTypes {
  public:
    virtual ~FileTypes() = default;
    // The registry's MIME type for a file of this name, judged by the name alone; nothing when it
    // knows none.
    virtual std::optional<std::string> mimeTypeForName(const std::string& fileName) const = 0;
};

class Thumbnailer {
  public:
    virtual ~Thumbnailer() = default;
    // The picture's size as stored in the file, or nothing when it is not a picture the codec
    // reads. Cheap: reads the file's header only.
    virtual std::optional<PixelSize> pictureSize(const std::filesystem::path& file) = 0;
    // The picture scaled to exactly `size` and encoded as JPEG at `quality` (0-100), or nothing
    // when it cannot be decoded or encoded. The file is decoded once, never kept.
    virtual std::optional<std::string> jpegOf(const std::filesystem::path& file, PixelSize size,
                                              int quality) = 0;
};

}  // namespace suite
