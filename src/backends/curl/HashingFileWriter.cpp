#include "backends/curl/HashingFileWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace suite::curl {

HashingFileWriter::HashingFileWriter(int fd, std::shared_ptr<Sha256> digest)
    : fd_(fd), digest_(std::move(digest)) {
    if (!digest_) return;
    for (auto& block : blocks_) block = std::make_unique_for_overwrite<char[]>(kBlock);
    hasher_ = std::thread([this] { hashBlocks(); });
}

HashingFileWriter::~HashingFileWriter() {
    finish();
}

bool HashingFileWriter::write(const char* data, std::size_t size) {
    if (error_ != 0 || !writeOut(data, size)) return false;
    while (digest_ && size > 0) {
        const std::size_t room = kBlock - used_;
        const std::size_t take = size < room ? size : room;
        std::memcpy(blocks_[filling_].get() + used_, data, take);
        used_ += take;
        data += take;
        size -= take;
        if (used_ == kBlock) flush();
    }
    return true;
}

bool HashingFileWriter::writeOut(const char* data, std::size_t size) {
    for (std::size_t written = 0; written < size;) {
        const ssize_t wrote = ::write(fd_, data + written, size - written);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            error_ = wrote < 0 ? errno : ENOSPC;
            return false;
        }
        written += static_cast<std::size_t>(wrote);
    }
    return true;
}

void HashingFileWriter::flush() {
    const std::size_t size = used_;
    used_ = 0;
    if (size == 0) return;
    handToHasher(blocks_[filling_].get(), size);
    // The other block was handed over before this one, and handing this one over waited for
    // the hasher to be done with it.
    filling_ = 1 - filling_;
}

void HashingFileWriter::handToHasher(const char* data, std::size_t size) {
    if (!digest_) return;
    waitForHasher();
    std::lock_guard lock(mutex_);
    pending_ = data;
    pendingSize_ = size;
    changed_.notify_all();
}

void HashingFileWriter::waitForHasher() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
}

void HashingFileWriter::hashBlocks() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ != nullptr || stopping_; });
        if (!pending_) return;
        const char* data = pending_;
        const std::size_t size = pendingSize_;
        lock.unlock();
        digest_->add(data, size);
        lock.lock();
        pending_ = nullptr;
        changed_.notify_all();
    }
}

bool HashingFileWriter::finish() {
    if (finished_) return error_ == 0;
    finished_ = true;
    flush();
    if (hasher_.joinable()) {
        waitForHasher();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        hasher_.join();
    }
    if (::close(fd_) != 0 && error_ == 0) error_ = errno;
    return error_ == 0;
}

}  // namespace suite::curl
