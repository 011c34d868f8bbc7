#include "platform/curl/ResponseBodySink.h"

#include <cerrno>
#include <cstring>

namespace suite::curl {

bool ResponseBodySink::open() {
    opened_ = true;
    file_.reset(std::fopen(path_.c_str(), "wbe"));
    if (!file_) {
        failure_ = "cannot create the response file: " + std::string(std::strerror(errno));
        return false;
    }
    // curl hands the body over in pieces of a few kilobytes; with stdio's default buffer every
    // few of them cost a write(2), which made a large download a third slower than the curl tool.
    // (glibc ignores the size unless it is given the buffer itself.)
    buffer_ = std::make_unique<char[]>(kWriteBuffer);
    std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kWriteBuffer);
    return true;
}

bool ResponseBodySink::write(const char* data, std::size_t size) {
    if (path_.empty()) {
        memory_.append(data, size);
        return true;
    }
    if (!opened_ && !open()) return false;
    if (!file_) return false;
    if (std::fwrite(data, 1, size, file_.get()) != size) {
        failure_ = "cannot write the response file: " + std::string(std::strerror(errno));
        return false;
    }
    return true;
}

bool ResponseBodySink::finish(bool answered) {
    if (path_.empty()) return true;
    if (!opened_ && answered && !open()) return false;
    if (!file_) return failure_.empty();
    // fclose flushes the last buffered bytes; a full disk shows up here and nowhere earlier.
    const bool closed = std::fclose(file_.release()) == 0;
    if (!closed && failure_.empty()) {
        failure_ = "cannot write the response file: " + std::string(std::strerror(errno));
    }
    return closed && failure_.empty();
}

}  // namespace suite::curl
