#pragma once
// Whether a product is open: a package tool replaces a running program's files under it, and the
// user loses what they had open when it next reads one. The program only asks; it never ends
// another program's process.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

class RunningPrograms {
  public:
    virtual ~RunningPrograms() = default;
    // Those of `executables` (absolute paths) that are the executable of a running process, in
    // the order given. A process whose executable this user may not read (another user's) is not
    // seen: the question is whether the person at this desktop has the product open. May read
    // the process table, so it takes as long as that does (a few milliseconds).
    virtual std::vector<std::string> running(const std::vector<std::string>& executables) = 0;
};

// A catalog names at most this many executables per package, each at most this long (the
// kernel's own limit on a path), so the question stays cheap whatever the catalog says.
inline constexpr std::size_t kMaxProcesses = 16;
inline constexpr std::size_t kMaxProcessPathBytes = 4095;

// An absolute path as the kernel writes a process's executable: starts with "/", no empty, "."
// or ".." part, no trailing "/", no control character, and no longer than the limit. Anything
// else could never be matched and only hides a mistake in the catalog.
bool isExecutablePath(std::string_view path);

}  // namespace suite
