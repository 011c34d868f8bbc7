#include "backends/posix/ProcRunningPrograms.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string_view>

namespace suite {

namespace {

// What the kernel appends to the link of an executable that was removed or replaced while it
// ran. A package tool replaces a product's files that way, so a product updated under a running
// process still counts as open: it is the old version that runs.
constexpr std::string_view kDeleted = " (deleted)";

bool isProcessId(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> ProcRunningPrograms::running(const std::vector<std::string>& executables) {
    std::set<std::string, std::less<>> wanted(executables.begin(), executables.end());
    std::set<std::string, std::less<>> found;
    if (wanted.empty()) return {};
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(proc_.c_str()), closedir);
    if (!dir) return {};
    std::string link(kMaxProcessPathBytes + kDeleted.size() + 1, '\0');
    while (const dirent* entry = readdir(dir.get())) {
        if (!isProcessId(entry->d_name)) continue;
        const std::string exe = (proc_ / entry->d_name / "exe").string();
        // Fails for another user's process (no right to look), a kernel thread (no executable)
        // and a process that has just ended: none of them is this user's open product.
        const ssize_t length = readlink(exe.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) continue;
        std::string_view target(link.data(), static_cast<std::size_t>(length));
        if (target.ends_with(kDeleted)) target.remove_suffix(kDeleted.size());
        if (const auto match = wanted.find(target); match != wanted.end()) {
            found.insert(*match);
            if (found.size() == wanted.size()) break;
        }
    }
    std::vector<std::string> result;
    std::set<std::string, std::less<>> told;
    for (const auto& path : executables) {
        if (found.contains(path) && told.insert(path).second) result.push_back(path);
    }
    return result;
}

}  // namespace suite
