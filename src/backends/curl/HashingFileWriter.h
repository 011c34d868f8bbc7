#pragma once
// Writes a response file in the pieces the caller hands over and, when a digest is given, hashes
// them on a thread of its own in blocks of 1 MiB while the caller fills the other block. A large
// download then costs no wall time for its digest where a second core is free, holds 2 MiB
// whatever its size, and nothing written is ever read back. (Blocks of 256 KiB left the hasher
// too little slack: a loopback download took a tenth longer.)
//
// Each piece goes to the file straight from the caller's buffer while it is still in the CPU's
// cache: gathering curl's 16 KiB pieces into 1 MiB writes made the kernel copy every byte back
// from memory, and a batch over TLS cost twice the CPU of a plain fwrite of the same pieces.
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Digest.h"

namespace suite::curl {

class HashingFileWriter {
  public:
    // What the digest takes at a time, and the piece size for reading a file back.
    static constexpr std::size_t kBlock = 1 << 20;

    // Takes `fd`, open for writing at the place the bytes go. `digest` (may be null) sees every
    // byte in order.
    HashingFileWriter(int fd, std::shared_ptr<Sha256> digest);
    // Writes out what is still buffered, as `finish` would.
    ~HashingFileWriter();
    HashingFileWriter(const HashingFileWriter&) = delete;
    HashingFileWriter& operator=(const HashingFileWriter&) = delete;

    // False, with `error()` set, once a write to the file has failed; nothing is taken after.
    bool write(const char* data, std::size_t size);
    // Writes out the rest, waits for the digest to have seen it, and closes the file. Once only;
    // false when anything could not be written.
    bool finish();
    // The errno of the first failed file operation, 0 when none failed.
    int error() const { return error_; }

  private:
    bool writeOut(const char* data, std::size_t size);
    // The block being filled goes to the hasher; the other one is filled next, once the hasher
    // is done with it.
    void flush();
    void handToHasher(const char* data, std::size_t size);
    void waitForHasher();
    void hashBlocks();

    int fd_;
    std::shared_ptr<Sha256> digest_;
    std::unique_ptr<char[]> blocks_[2];
    int filling_ = 0;
    std::size_t used_ = 0;
    int error_ = 0;
    bool finished_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    const char* pending_ = nullptr;  // the block handed to the hasher and not yet hashed
    std::size_t pendingSize_ = 0;
    bool stopping_ = false;
    std::thread hasher_;
};

}  // namespace suite::curl
