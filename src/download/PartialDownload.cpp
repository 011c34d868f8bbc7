#include "download/PartialDownload.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "common/Ascii.h"
#include "platform/Digest.h"
#include "platform/InstallerRecords.h"

namespace suite {

namespace fs = std::filesystem;

namespace {

// A validator is sent back as a header value; anything that could break the header out is not
// one, and nothing sensible is longer.
bool isSendable(const std::string& value) {
    if (value.empty() || value.size() > 256) return false;
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() > suffix.size() && text.ends_with(suffix);
}

}  // namespace

PartialDownload::PartialDownload(const fs::path& folder, const std::optional<std::string>& sha256,
                                 const std::string& url) {
    std::string key;
    if (sha256 && isSha256Hex(lowerAscii(*sha256))) {
        key = lowerAscii(*sha256);
    } else {
        Sha256 hash;
        hash.add(url.data(), url.size());
        key = hash.hex().value_or("unnamed");
    }
    file_ = folder / (key + kSuffix);
    validator_ = folder / (key + kValidatorSuffix);
}

std::optional<PartialDownload::Resumable> PartialDownload::resumable() const {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file_, error))) return std::nullopt;
    const auto bytes = fs::file_size(file_, error);
    if (error || bytes == 0) return std::nullopt;
    std::ifstream in(validator_, std::ios::binary);
    std::string validator((std::istreambuf_iterator<char>(in)), {});
    if (!isSendable(validator)) return std::nullopt;
    return Resumable{bytes, validator};
}

void PartialDownload::noteValidator(const std::optional<std::string>& validator) const {
    if (!validator || !isSendable(*validator)) return forgetValidator();
    // Replaced in one step, so a crash leaves the old validator or the new one, never half.
    const fs::path temporary = validator_.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << *validator;
        if (!out.flush()) return forgetValidator();
    }
    std::error_code error;
    fs::rename(temporary, validator_, error);
    if (error) forgetValidator();
}

void PartialDownload::forgetValidator() const {
    std::error_code ignored;
    fs::remove(validator_, ignored);
}

void PartialDownload::discard() const {
    forgetValidator();
    std::error_code ignored;
    fs::remove(file_, ignored);
}

std::optional<std::string> validatorOf(const HttpHeaders& headers) {
    // A weak ETag may not be used to continue a file (RFC 9110, 13.1.5).
    if (auto etag = findHeader(headers, "ETag"); etag && !etag->starts_with("W/")) return etag;
    return findHeader(headers, "Last-Modified");
}

void tidyDownloadFolder(const fs::path& folder, std::chrono::hours maxAge) {
    std::error_code error;
    fs::create_directories(folder, error);
    // The folder holds what the user is about to install; no one else needs to read it.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
    const auto now = fs::file_time_type::clock::now();
    std::vector<fs::path> validators;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path path = it->path();
        const std::string name = path.filename().string();
        std::error_code entryError;
        const auto status = it->symlink_status(entryError);
        if (entryError || fs::is_directory(status)) continue;
        if (endsWith(name, PartialDownload::kValidatorSuffix)) {
            validators.push_back(path);
            continue;
        }
        if (endsWith(name, PartialDownload::kSuffix) && fs::is_regular_file(status)) {
            const auto written = fs::last_write_time(path, entryError);
            if (!entryError && now - written < maxAge) continue;
        }
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    for (const auto& validator : validators) {
        std::string bytes = validator.string();
        bytes.resize(bytes.size() - std::string_view(PartialDownload::kValidatorSuffix).size());
        std::error_code ignored;
        if (!fs::exists(fs::symlink_status(bytes + PartialDownload::kSuffix, ignored))) {
            fs::remove(validator, ignored);
        }
    }
}

}  // namespace suite
