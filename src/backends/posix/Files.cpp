#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace suite {

namespace {

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The process's file-creation mask, read without changing it (umask(2) can only swap it, which
// would race with other threads creating files).
mode_t currentUmask() {
    auto status = readWholeFile("/proc/self/status");
    if (status) {
        auto at = status->find("\nUmask:");
        if (at != std::string::npos) {
            return static_cast<mode_t>(std::strtoul(status->c_str() + at + 7, nullptr, 8));
        }
    }
    return 022;
}

// Reads the opened regular file `fd` (described by `info`) whole and closes it.
std::optional<std::string> readOpened(int fd, const struct stat& info, std::size_t maxBytes) {
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        // The file may have grown since it was looked at.
        if (static_cast<std::size_t>(got) > maxBytes - content.size()) {
            ::close(fd);
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return content;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return readOpened(fd, info, maxBytes);
}

AdministratorFile readAdministratorFile(const std::filesystem::path& path, std::size_t maxBytes) {
    using State = AdministratorFile::State;
    const auto refused = [](std::string why) { return AdministratorFile{State::Refused, why}; };
    // Writable by someone else, the file or its folder (where it could be replaced) says what
    // that someone wants, not what the administrator does.
    const auto othersWrite = [](const struct stat& info) {
        return info.st_uid != 0 || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    };
    struct stat folder {};
    if (::stat(path.parent_path().c_str(), &folder) != 0) return {State::Absent, ""};
    if (othersWrite(folder)) return refused("its folder is not root's alone");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        return errno == ENOENT ? AdministratorFile{State::Absent, ""} : refused("cannot be read");
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refused("not a regular file");
    }
    if (othersWrite(info)) {
        ::close(fd);
        return refused("writable by others than root");
    }
    auto text = readOpened(fd, info, maxBytes);
    if (!text) return refused("larger than " + std::to_string(maxBytes) + " bytes, or unreadable");
    return {State::Read, std::move(*text)};
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::string name = ".";
    name += path.filename().string();
    name += ".XXXXXX";
    std::string pattern = (folder / name).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    // mkstemp makes the file private; a replaced file gets the permissions a new one would.
    bool ok =
        ::fchmod(fd, 0666 & ~currentUmask()) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(pattern.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(pattern.c_str());
        return false;
    }
    // The rename itself must reach the disk too, or a crash could bring back the old file.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool appendToFile(const std::filesystem::path& folder, std::string_view name,
                  std::string_view text) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return false;
    const int fd = ::openat(
        dir, std::string(name).c_str(),
        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0644);
    ::close(dir);
    if (fd < 0) return false;
    struct stat info {};
    // With O_APPEND the kernel places each write at the end in one piece, so texts from two
    // writers never mix; only a short write (a full disk) takes another turn.
    const bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, text);
    ::close(fd);
    return written;
}

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::string findCompanionProgram(const std::filesystem::path& executable,
                                 std::string_view installedName, std::string_view buildTreeName) {
    const auto folder = executable.parent_path();
    for (const auto& candidate : {folder.parent_path() / "libexec" / "talven-suite" / installedName,
                                  folder / buildTreeName}) {
        if (isExecutableFile(candidate)) return candidate.lexically_normal().string();
    }
    return "";
}

}  // namespace suite
