#include "backends/curl/ResponseBodySink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace suite::curl {

bool ResponseBodySink::fail(const std::string& what, int error) {
    errno_ = error;
    failure_ = what + ": " + std::strerror(error);
    return false;
}

// The kept bytes go through the digest in pieces of one block, so continuing a large file costs
// one read of its kept part and little memory.
bool ResponseBodySink::hashKeptBytes(int fd) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(HashingFileWriter::kBlock);
    for (std::uint64_t left = kept_; left > 0;) {
        const std::size_t want = left < HashingFileWriter::kBlock ? static_cast<std::size_t>(left)
                                                                  : HashingFileWriter::kBlock;
        const ssize_t got = ::read(fd, buffer.get(), want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("cannot read the kept part of the response file", errno);
        if (got == 0) {
            // Shorter than the caller said: someone changed it; continuing would corrupt it.
            failure_ = "the kept part of the response file is shorter than expected";
            return false;
        }
        if (digest_) digest_->add(buffer.get(), static_cast<std::size_t>(got));
        left -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool ResponseBodySink::begin(bool continues) {
    if (opened_) return static_cast<bool>(file_);
    opened_ = true;
    if (!toFile()) return true;
    const int flags = continues ? O_RDWR | O_CLOEXEC : O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int fd = ::open(path_.c_str(), flags, 0600);
    if (fd < 0) return fail("cannot open the response file", errno);
    if (continues) {
        // Anything past the kept bytes is not vouched for by the validator the caller sent.
        if (!hashKeptBytes(fd) || ::ftruncate(fd, static_cast<off_t>(kept_)) != 0 ||
            ::lseek(fd, 0, SEEK_END) < 0) {
            if (failure_.empty()) fail("cannot continue the response file", errno);
            ::close(fd);
            return false;
        }
    }
    file_ = std::make_unique<HashingFileWriter>(fd, digest_);
    return true;
}

bool ResponseBodySink::write(const char* data, std::size_t size) {
    if (!toFile()) {
        memory_.append(data, size);
        return true;
    }
    if (!file_) return false;
    if (!file_->write(data, size)) return fail("cannot write the response file", file_->error());
    return true;
}

bool ResponseBodySink::finish() {
    if (!file_) return failure_.empty();
    // The last bytes are written out here; a full disk may show up here and nowhere earlier.
    if (!file_->finish() && failure_.empty()) {
        fail("cannot write the response file", file_->error());
    }
    file_.reset();
    return failure_.empty();
}

}  // namespace suite::curl
