#pragma once
// Whole-file reads and crash-safe whole-file writes. The implementation is POSIX
// (backends/posix): the crash safety rests on fsync and rename.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace suite {

// The whole content of a regular file, or nothing when it cannot be read. Opens without blocking
// and checks the opened descriptor, so a FIFO or device in its place cannot stall the caller and
// what is checked is what is read. A file longer than `maxBytes` is not read past that size and
// counts as unreadable.
std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                         std::size_t maxBytes = SIZE_MAX);

// A file only the administrator could have written, as `readAdministratorFile` found it.
struct AdministratorFile {
    enum class State {
        Absent,   // neither it nor its folder is there
        Refused,  // there, but not root's alone (`text` says why): what it says does not count
        Read,     // `text` is its content
    };
    State state = State::Absent;
    std::string text = {};
};
// Reads `path` when it is a regular file (not a link) owned by root and writable by nobody else,
// in a folder owned by root and writable by nobody else; at most `maxBytes`.
AdministratorFile readAdministratorFile(const std::filesystem::path& path, std::size_t maxBytes);

// Replaces `path` with `content` so that a crash at any moment leaves either the old file or the
// new one, never a partial or empty one: the bytes go to a fresh temporary file in the same
// folder, are flushed to disk, and the temporary file is renamed over the target. On failure the
// target is untouched and the temporary file is removed. Returns whether the file was replaced.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view content);

// Appends `text` to the file `name` in `folder` in one write, creating the file (mode 0644) as
// needed: with other writers appending too, each one's text lands whole. A link in the place of
// the folder or the file is refused, not followed, and so is anything but a regular file; a FIFO
// there does not stall the caller. Whether all of it was written.
bool appendToFile(const std::filesystem::path& folder, std::string_view name,
                  std::string_view text);

// Whether `path` is a regular file this process may execute.
bool isExecutableFile(const std::filesystem::path& path);

// A program that comes with the one at `executable`: installed as
// bin/../libexec/talven-suite/`installedName`, or in the build tree beside it as
// `buildTreeName`; empty when neither is an executable file.
std::string findCompanionProgram(const std::filesystem::path& executable,
                                 std::string_view installedName, std::string_view buildTreeName);

}  // namespace suite
