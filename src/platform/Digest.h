#pragma once
// File digests for checking downloads against the catalog. The core only sees this declaration;
// the implementation comes from the host's crypto library.
#include <filesystem>
#include <optional>
#include <string>

namespace suite {

// The SHA-256 digest of the file's contents as 64 lower-case hex digits, or nothing when the file
// cannot be opened as a regular file. The file is read in 1 MiB chunks, never whole. A read error
// part-way ends the reading early: the result is then the digest of the bytes read so far, which
// cannot match the expected digest of the whole file. Blocks; callable from any thread.
std::optional<std::string> sha256Of(const std::filesystem::path& path);

}  // namespace suite
