#pragma once
// The state of one install run that outlives a single step: the packages verified so far.
#include <vector>

#include "download/VerifiedPackage.h"

namespace suite {

struct InstallRun {
    std::vector<VerifiedPackage> verified;
};

}  // namespace suite
