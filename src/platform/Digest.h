#pragma once
// File digests for checking downloads against the catalog. The core only sees these
// declarations; the implementation comes from the host's crypto library.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace suite {

// The SHA-256 digest of the file's contents as 64 lower-case hex digits, or nothing when the file
// cannot be opened as a regular file. The file is read in 1 MiB chunks, never whole. A read error
// part-way ends the reading early: the result is then the digest of the bytes read so far, which
// cannot match the expected digest of the whole file. Blocks; callable from any thread.
std::optional<std::string> sha256Of(const std::filesystem::path& path);

// SHA-256 over bytes given piece by piece, for data that is hashed while it passes (a copy).
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False once the crypto library has failed; the digest is then nothing.
    bool add(const void* data, std::size_t size);
    // The 64 lower-case hex digits of everything added; call once.
    std::optional<std::string> hex();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace suite
