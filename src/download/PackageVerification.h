#pragma once
// Whether a downloaded package is the one the catalog describes.
#include <filesystem>
#include <optional>
#include <string>

namespace suite {

// True when `expectedSha256` is absent (the catalog vouches for nothing more), or when the file's
// SHA-256 digest equals it regardless of the hex digits' case. A file that cannot be read is not
// verified. Reads the whole file: call it off the main thread.
bool verifyPackage(const std::filesystem::path& file,
                   const std::optional<std::string>& expectedSha256);

}  // namespace suite
