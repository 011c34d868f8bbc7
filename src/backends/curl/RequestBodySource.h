#pragma once
// A request body as curl pulls it: from memory, or streamed from a file that is never read into
// memory whole. Rewindable, because curl resends the body when a redirect keeps the method.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/Expected.h"

namespace suite::curl {

class RequestBodySource {
  public:
    static RequestBodySource fromMemory(std::string bytes);
    // The file at `path`, or why it cannot be opened as a regular file.
    static Expected<RequestBodySource, std::string> fromFile(const std::filesystem::path& path);

    // The body's length, fixed when it was opened: a file that grows later is cut to it, one that
    // shrinks fails the read.
    std::uint64_t size() const { return size_; }

    // Copies the next bytes (at most `capacity`) into `buffer`: 0 at the end, nothing on failure.
    std::optional<std::size_t> read(char* buffer, std::size_t capacity);
    bool seek(std::uint64_t offset);
    const std::string& failure() const { return failure_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::string memory_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint64_t size_ = 0;
    std::uint64_t offset_ = 0;
    std::string failure_;
};

}  // namespace suite::curl
