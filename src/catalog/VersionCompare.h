#pragma once
// Ordering of version strings as people read them: "1.10" is newer than "1.9".
#include <string_view>

namespace suite {

// Negative when `a` orders before `b`, zero when they are equal, positive after. Runs of ASCII
// digits compare by numeric value, of any length; when two runs are numerically equal ("01" and
// "1") the comparison simply goes on after them. Every other byte compares by its value, which
// for UTF-8 text is code point order. A string that is a prefix of the other orders first, so
// "2.0" is before "2.0.0".
int compareVersions(std::string_view a, std::string_view b);

}  // namespace suite
