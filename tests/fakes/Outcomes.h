#pragma once
// A batch's outcome read one field across its packages, as the tests compare it.
#include <vector>

#include "platform/PackageSystem.h"

namespace suite::fakes {

inline std::vector<PackageReport> reports(const BatchOutcome& outcome) {
    std::vector<PackageReport> out;
    for (const auto& package : outcome.packages) out.push_back(package.report);
    return out;
}

inline std::vector<FailureReason> reasons(const BatchOutcome& outcome) {
    std::vector<FailureReason> out;
    for (const auto& package : outcome.packages) out.push_back(package.reason);
    return out;
}

}  // namespace suite::fakes
