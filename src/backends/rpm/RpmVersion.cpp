#include "backends/rpm/RpmVersion.h"

#include <rpm/rpmver.h>

#include <memory>
#include <string>

namespace suite::rpm {

namespace {

struct FreeVersion {
    void operator()(rpmver version) const { rpmverFree(version); }
};
using Version = std::unique_ptr<std::remove_pointer_t<rpmver>, FreeVersion>;

}  // namespace

int compareRpmVersions(std::string_view a, std::string_view b) {
    // librpm's own parser and order, so the program and rpm never disagree.
    const Version left(rpmverParse(std::string(a).c_str()));
    const Version right(rpmverParse(std::string(b).c_str()));
    if (left && right) return rpmverCmp(left.get(), right.get());
    // Text rpm cannot read as a version (an empty one) orders before any it can.
    return static_cast<int>(static_cast<bool>(left)) - static_cast<int>(static_cast<bool>(right));
}

}  // namespace suite::rpm
