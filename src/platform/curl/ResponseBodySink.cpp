#include "platform/curl/ResponseBodySink.h"

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

// The kept bytes go through the digest in the buffer that later serves stdio, so continuing a
// large file costs one read of its kept part and no memory beyond that buffer.
bool ResponseBodySink::hashKeptBytes(int fd) {
    for (std::uint64_t left = kept_; left > 0;) {
        const std::size_t want =
            left < kWriteBuffer ? static_cast<std::size_t>(left) : kWriteBuffer;
        const ssize_t got = ::read(fd, buffer_.get(), want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("cannot read the kept part of the response file", errno);
        if (got == 0) {
            // Shorter than the caller said: someone changed it; continuing would corrupt it.
            failure_ = "the kept part of the response file is shorter than expected";
            return false;
        }
        if (digest_) digest_->add(buffer_.get(), static_cast<std::size_t>(got));
        left -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool ResponseBodySink::begin(bool continues) {
    if (opened_) return static_cast<bool>(file_);
    opened_ = true;
    if (!toFile()) return true;
    buffer_ = std::make_unique<char[]>(kWriteBuffer);
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
    file_.reset(::fdopen(fd, continues ? "ab" : "wb"));
    if (!file_) {
        const int error = errno;
        ::close(fd);
        return fail("cannot open the response file", error);
    }
    // curl hands the body over in pieces of a few kilobytes; with stdio's default buffer every
    // few of them cost a write(2), which made a large download a third slower than the curl tool.
    // (glibc ignores the size unless it is given the buffer itself.)
    std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kWriteBuffer);
    return true;
}

bool ResponseBodySink::write(const char* data, std::size_t size) {
    if (!toFile()) {
        memory_.append(data, size);
        return true;
    }
    if (!file_) return false;
    if (digest_) digest_->add(data, size);
    if (std::fwrite(data, 1, size, file_.get()) != size) {
        return fail("cannot write the response file", errno);
    }
    return true;
}

bool ResponseBodySink::finish() {
    if (!file_) return failure_.empty();
    // fclose flushes the last buffered bytes; a full disk shows up here and nowhere earlier.
    if (std::fclose(file_.release()) != 0 && failure_.empty()) {
        fail("cannot write the response file", errno);
    }
    return failure_.empty();
}

}  // namespace suite::curl
