#pragma once
// A download that has not finished yet, kept in the download folder so a later attempt can go
// on where this one stopped: the bytes received so far, and beside them the validator (an ETag
// or a Last-Modified date) the server sent with them. The names derive from the package's
// digest, so the next install of the same item finds them, also after a restart.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/HttpClient.h"

namespace suite {

class PartialDownload {
  public:
    static constexpr const char* kSuffix = ".part";
    static constexpr const char* kValidatorSuffix = ".part.validator";

    // The partial download of the package with digest `sha256` (its address stands in for
    // packages the catalog gives no digest for) in `folder`.
    PartialDownload(const std::filesystem::path& folder, const std::optional<std::string>& sha256,
                    const std::string& url);

    const std::filesystem::path& file() const { return file_; }

    // The bytes to go on from and the validator they came with; nothing when there is nothing
    // a server could be asked to continue.
    struct Resumable {
        std::uint64_t bytes;
        std::string validator;
    };
    std::optional<Resumable> resumable() const;

    // Keeps the validator of the answer whose body is arriving, or forgets the old one when it
    // sent none (its bytes cannot be continued then).
    void noteValidator(const std::optional<std::string>& validator) const;
    // Removes the bytes and their validator.
    void discard() const;
    void forgetValidator() const;

  private:
    std::filesystem::path file_;
    std::filesystem::path validator_;
};

// What an If-Range may carry from `headers`: a strong ETag, else a Last-Modified date.
std::optional<std::string> validatorOf(const HttpHeaders& headers);

// The download folder as a new run of the program finds it: created for this user only;
// partial downloads older than `maxAge` (by their last write), validators without their bytes
// and everything else earlier runs left (packages, older temporary files) removed. Sub-folders
// are left alone.
void tidyDownloadFolder(const std::filesystem::path& folder, std::chrono::hours maxAge);

}  // namespace suite
