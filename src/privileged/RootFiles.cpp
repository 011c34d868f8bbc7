#include "privileged/RootFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/Digest.h"

namespace suite::privileged {

namespace {

constexpr std::string_view kFolderPrefix = "talven-suite-install.";
constexpr std::size_t kCopyChunk = 1 << 20;

// Opens a regular file for reading without following a link at its last part and without
// blocking on a FIFO; -1 (errno set, or EINVAL for something that is not a regular file).
int openRegular(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The process id a folder name of ours holds ("talven-suite-install.<pid>.XXXXXX"); 0 for a
// name of an earlier version, which held none.
std::optional<long> ownerOf(std::string_view name) {
    if (!name.starts_with(kFolderPrefix)) return std::nullopt;
    name.remove_prefix(kFolderPrefix.size());
    const auto dot = name.find('.');
    if (dot == std::string_view::npos) return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dot, pid);
    if (error != std::errc() || end != name.data() + dot || pid <= 0) return std::nullopt;
    return pid;
}

bool isRunning(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

PrivateFolder::PrivateFolder(const std::string& parent) {
    std::string pattern =
        parent + "/" + std::string(kFolderPrefix) + std::to_string(::getpid()) + ".XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = std::move(pattern);
}

PrivateFolder::~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::size_t removeLeftoverFolders(const std::string& parent) {
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
        const auto owner = ownerOf(entry.path().filename().string());
        if (!owner || *owner == ::getpid() || (*owner > 0 && isRunning(*owner))) continue;
        // Our own folders are real folders of ours; a link or someone else's folder of that name
        // is left alone (remove_all would not follow a link, but it is not ours to remove).
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            continue;
        }
        std::error_code ignored;
        if (std::filesystem::remove_all(entry.path(), ignored) > 0) ++removed;
    }
    return removed;
}

std::optional<std::uint64_t> freeBytes(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

Expected<std::string, CopyFailure> copyBounded(const std::string& source, const std::string& target,
                                               std::uint64_t limit) {
    const auto unreadable = [](std::string why) {
        return unexpected(CopyFailure{CopyFailure::Kind::Unreadable, std::move(why)});
    };
    Fd in(openRegular(source));
    if (in.get() < 0) {
        return unreadable(errno == EINVAL ? "not a regular file" : std::strerror(errno));
    }
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0) {
        return unreadable(std::strerror(errno));
    }
    Sha256 hash;
    std::vector<unsigned char> chunk(kCopyChunk);
    std::uint64_t total = 0;
    for (;;) {
        ssize_t got = ::read(in.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            return unreadable(std::strerror(errno));
        }
        if (got == 0) break;
        const auto size = static_cast<std::size_t>(got);
        total += size;
        if (total > limit) {
            return unexpected(CopyFailure{CopyFailure::Kind::TooLarge, ""});
        }
        if (!writeAll(out.get(), chunk.data(), size)) {
            return unreadable(std::strerror(errno));
        }
        hash.add(chunk.data(), size);
    }
    if (auto digest = hash.hex()) return std::move(*digest);
    return unreadable("the digest could not be computed");
}

}  // namespace suite::privileged
