#pragma once
// Where a response body goes: into memory, or into a file that is created (or truncated) when the
// first byte arrives. Whatever arrived stays in the file, also when the transfer fails.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace suite::curl {

class ResponseBodySink {
  public:
    static constexpr std::size_t kWriteBuffer = 1 << 20;
    // An empty `file` keeps the body in memory.
    explicit ResponseBodySink(std::filesystem::path file) : path_(std::move(file)) {}

    // False when the bytes could not be kept (the reason is then in `failure`).
    bool write(const char* data, std::size_t size);

    // Closes the file. When the server answered (`answered`) without a body, the file is still
    // created or emptied, so it never shows an older download's bytes as this answer. False when
    // the file could not be written out.
    bool finish(bool answered);

    std::string takeMemoryBody() { return std::move(memory_); }
    const std::string& failure() const { return failure_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool open();

    std::filesystem::path path_;
    std::unique_ptr<char[]> buffer_;  // stdio's buffer for `file_`; must outlive it
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool opened_ = false;
    std::string memory_;
    std::string failure_;
};

}  // namespace suite::curl
