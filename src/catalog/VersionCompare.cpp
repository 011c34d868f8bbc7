#include "catalog/VersionCompare.h"
#include "common/Ascii.h"

#include <algorithm>
#include <cstddef>

namespace suite {

namespace {

std::string_view digitRun(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isAsciiDigit(text[end])) ++end;
    return text.substr(from, end - from);
}

// Compares by value without converting, so a run longer than any integer type cannot overflow:
// without leading zeros the longer run is the larger, and equal lengths compare digit by digit.
int compareNumbers(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            std::string_view left = digitRun(a, i);
            std::string_view right = digitRun(b, j);
            if (int order = compareNumbers(left, right); order != 0) return order;
            i += left.size();
            j += right.size();
            continue;
        }
        auto left = static_cast<unsigned char>(a[i]);
        auto right = static_cast<unsigned char>(b[j]);
        if (left != right) return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    bool aDone = i == a.size();
    bool bDone = j == b.size();
    if (aDone && bDone) return 0;
    return aDone ? -1 : 1;
}

}  // namespace suite
