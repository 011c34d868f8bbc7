#include "backends/curl/RequestBodySource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace suite::curl {

RequestBodySource RequestBodySource::fromMemory(std::string bytes) {
    RequestBodySource source;
    source.size_ = bytes.size();
    source.memory_ = std::move(bytes);
    return source;
}

Expected<RequestBodySource, std::string> RequestBodySource::fromFile(
    const std::filesystem::path& path) {
    // "e": close-on-exec, so a process the program starts meanwhile does not inherit the file.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        return unexpected("cannot open the body file: " + std::string(std::strerror(errno)));
    }
    struct stat status {};
    if (::fstat(::fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
        return unexpected<std::string>("the body file is not a regular file");
    }
    RequestBodySource source;
    source.file_ = std::move(file);
    source.size_ = static_cast<std::uint64_t>(status.st_size);
    return source;
}

std::optional<std::size_t> RequestBodySource::read(char* buffer, std::size_t capacity) {
    const std::uint64_t left = size_ - offset_;
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(left, capacity));
    if (wanted == 0) return 0;
    if (!file_) {
        std::memcpy(buffer, memory_.data() + offset_, wanted);
        offset_ += wanted;
        return wanted;
    }
    const std::size_t got = std::fread(buffer, 1, wanted, file_.get());
    if (got == 0) {
        // Ending early would send fewer bytes than the Content-Length promised.
        failure_ = std::ferror(file_.get()) ? "cannot read the body file"
                                            : "the body file shrank while it was being sent";
        return std::nullopt;
    }
    offset_ += got;
    return got;
}

bool RequestBodySource::seek(std::uint64_t offset) {
    if (offset > size_) return false;
    if (file_ && ::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    offset_ = offset;
    return true;
}

}  // namespace suite::curl
