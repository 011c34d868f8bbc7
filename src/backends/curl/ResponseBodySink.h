#pragma once
// Where a response body goes: into memory, or into a file. The file is opened when the body of
// the final answer begins: continued after the bytes it already keeps, or created (or truncated)
// from its start. Whatever arrived stays in the file, also when the transfer fails. A digest, when
// given, sees every byte the file ends up holding, in file order, as it is written: the kept
// bytes are read once when the file is continued, and nothing written is ever read back.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "backends/curl/HashingFileWriter.h"
#include "platform/Digest.h"

namespace suite::curl {

class ResponseBodySink {
  public:
    // An empty `file` keeps the body in memory. `kept`: how many bytes at the file's start a
    // continued answer follows on from.
    explicit ResponseBodySink(std::filesystem::path file, std::uint64_t kept = 0,
                              std::shared_ptr<Sha256> digest = nullptr)
        : path_(std::move(file)), kept_(kept), digest_(std::move(digest)) {}

    bool toFile() const { return !path_.empty(); }
    // Opens the file for the final answer's body: after its kept bytes when `continues`, else
    // from nothing. Once only; false when the file cannot be opened or its kept bytes read.
    bool begin(bool continues);
    bool begun() const { return opened_; }

    // False when the bytes could not be kept (the reason is then in `failure`).
    bool write(const char* data, std::size_t size);

    // Closes the file; false when it could not be written out.
    bool finish();

    std::string takeMemoryBody() { return std::move(memory_); }
    const std::string& failure() const { return failure_; }
    // The errno of the failed file operation, 0 when none failed.
    int errorNumber() const { return errno_; }

  private:
    bool fail(const std::string& what, int error);
    bool hashKeptBytes(int fd);

    std::filesystem::path path_;
    std::uint64_t kept_;
    std::shared_ptr<Sha256> digest_;
    std::unique_ptr<HashingFileWriter> file_;
    bool opened_ = false;
    std::string memory_;
    std::string failure_;
    int errno_ = 0;
};

}  // namespace suite::curl
