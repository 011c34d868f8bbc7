#pragma once
// RPM's version order, as rpm itself applies it: [EPOCH:]VERSION[-RELEASE], epochs by number (none
// is 0), then version and release by rpmvercmp ("~" before anything, even the end; "^" after the
// end but before anything else). A version without a release orders before the same version with
// one.
#include <string_view>

namespace suite::rpm {

// Below zero when `a` is older than `b`, zero when rpm takes them as the same, above zero when
// newer.
int compareRpmVersions(std::string_view a, std::string_view b);

}  // namespace suite::rpm
