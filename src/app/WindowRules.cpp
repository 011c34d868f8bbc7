#include "app/WindowRules.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace suite {

namespace {

// The steps browsers offer, so the user's zoom feels as it does elsewhere.
constexpr double kUserZoomSteps[] = {0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                     1.25, 1.5,  1.75, 2.0, 2.5, 3.0};

double widthZoom(double width) {
    if (!(width > kDesignWidth)) return 1.0;
    return std::floor(std::min(width / kDesignWidth, kMaxZoom) * kZoomSteps) / kZoomSteps;
}

}  // namespace

double targetZoom(double width, double userZoom) {
    return widthZoom(width) * usableUserZoom(userZoom);
}

std::optional<double> zoomChange(double width, double currentZoom, double userZoom) {
    double target = targetZoom(width, userZoom);
    if (std::fabs(currentZoom - target) > kZoomTolerance) return target;
    return std::nullopt;
}

double steppedUserZoom(double current, int direction) {
    if (direction == 0) return 1.0;
    current = usableUserZoom(current);
    if (direction > 0) {
        for (double step : kUserZoomSteps) {
            if (step > current + kZoomTolerance) return step;
        }
        return kMaxUserZoom;
    }
    for (auto step = std::rbegin(kUserZoomSteps); step != std::rend(kUserZoomSteps); ++step) {
        if (*step < current - kZoomTolerance) return *step;
    }
    return kMinUserZoom;
}

double usableUserZoom(double zoom) {
    if (!std::isfinite(zoom)) return 1.0;
    return std::clamp(zoom, kMinUserZoom, kMaxUserZoom);
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
