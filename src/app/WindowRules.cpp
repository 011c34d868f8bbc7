#include "app/WindowRules.h"

#include <algorithm>
#include <cmath>

namespace suite {

double targetZoom(double width) {
    if (!(width > kDesignWidth)) return 1.0;
    return std::floor(std::min(width / kDesignWidth, kMaxZoom) * kZoomSteps) / kZoomSteps;
}

std::optional<double> zoomChange(double width, double currentZoom) {
    double target = targetZoom(width);
    if (std::fabs(currentZoom - target) > kZoomTolerance) return target;
    return std::nullopt;
}

bool keepsRunningWhenClosed(const Json& settings, bool isDemo) {
    return boolMember(settings, "startLogin") == true && !isDemo;
}

bool terminatesAfterLastWindowClosed(const Json& settings, bool isDemo) {
    auto startLogin = boolMember(settings, "startLogin");
    if (!startLogin) return true;
    return !*startLogin || isDemo;
}

}  // namespace suite
