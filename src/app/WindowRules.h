#pragma once
// How the page's zoom follows the window width, and what closing the window means.
#include <optional>

#include "common/Json.h"

namespace suite {

inline constexpr double kDesignWidth = 1180;
inline constexpr double kMaxZoom = 2.5;
inline constexpr double kZoomSteps = 50;  // zoom moves in steps of 1/50
inline constexpr double kZoomTolerance = 0.001;

inline constexpr int kWindowWidth = 1180, kWindowHeight = 780;
inline constexpr int kMinWindowWidth = 900, kMinWindowHeight = 600;
inline constexpr int kDragStripHeight = 28;

// The zoom for a web view `width` points wide: never below the design size, growing in steps.
double targetZoom(double width);

// The zoom to set, or nothing when the current one is already close enough.
std::optional<double> zoomChange(double width, double currentZoom);

// Closing the window hides it instead while "startLogin" holds true, outside demo mode.
bool keepsRunningWhenClosed(const Json& settings, bool isDemo);

// Whether the program ends once its last window has closed.
bool terminatesAfterLastWindowClosed(const Json& settings, bool isDemo);

}  // namespace suite
