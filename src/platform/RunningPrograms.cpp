#include "platform/RunningPrograms.h"

#include <algorithm>

namespace suite {

bool isExecutablePath(std::string_view path) {
    if (path.size() < 2 || path.size() > kMaxProcessPathBytes || path.front() != '/' ||
        path.back() == '/') {
        return false;
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace suite
