#pragma once
// The root helper's files: a private folder per run, copies it takes of what the user side hands
// it, bounded so that no input can fill the disk, and the folders killed runs left behind.
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/Expected.h"

namespace suite::privileged {

// A file descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A folder made for this run alone (a new name holding this process's id, mode 0700, owned by
// root), removed with what it holds when the run ends.
class PrivateFolder {
  public:
    explicit PrivateFolder(const std::string& parent);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }  // empty when it could not be made

  private:
    std::string path_;
};

// Removes the private folders in `parent` whose run has ended without removing them (a killed
// helper): those whose process is gone. Only folders of our name, owned by root, are touched.
// Answers how many were removed.
std::size_t removeLeftoverFolders(const std::string& parent);

// Bytes a file system holding `folder` still has for root; nothing when it cannot be asked.
std::optional<std::uint64_t> freeBytes(const std::string& folder);

// Why a bounded copy was not made whole.
struct CopyFailure {
    enum class Kind { TooLarge, Unreadable };
    Kind kind = Kind::Unreadable;
    std::string why;  // when Unreadable
};

// Copies the regular file `source` (its last path part must not be a link: root follows nothing
// the user planted) to the new file `target`, stopping as soon as it holds more than `limit`
// bytes: such a file is not the one expected, and copying it on could fill the disk.
// Answers the SHA-256 (hex) of the bytes copied.
Expected<std::string, CopyFailure> copyBounded(const std::string& source, const std::string& target,
                                               std::uint64_t limit);

}  // namespace suite::privileged
