#pragma once
// How the page's zoom follows the window width, and what closing the window means.
#include <optional>

#include "common/Json.h"

namespace suite {

inline constexpr double kDesignWidth = 1180;
inline constexpr double kMaxZoom = 2.5;
inline constexpr double kZoomSteps = 50;  // zoom moves in steps of 1/50
inline constexpr double kZoomTolerance = 0.001;
// The user's own zoom, on top of the width's: View > Zoom In / Zoom Out / Actual Size.
inline constexpr double kMinUserZoom = 0.5, kMaxUserZoom = 3.0;

inline constexpr int kWindowWidth = 1180, kWindowHeight = 780;
// The page lays itself out down to a phone's width (one column below 720 CSS pixels); the window
// may be as small, so a user at a large zoom or on a small screen is never held to a desktop's
// size.
inline constexpr int kMinWindowWidth = 360, kMinWindowHeight = 480;
inline constexpr int kDragStripHeight = 28;

// The zoom for a web view `width` points wide: never below the design size, growing in steps;
// times the user's own zoom.
double targetZoom(double width, double userZoom = 1.0);

// The zoom to set, or nothing when the current one is already close enough.
std::optional<double> zoomChange(double width, double currentZoom, double userZoom = 1.0);

// The user's zoom one step larger (`direction` > 0) or smaller (< 0) than `current`, within
// 50 %–300 %; 100 % for 0.
double steppedUserZoom(double current, int direction);

// A remembered user zoom as it may be used: within 50 %–300 %, 100 % for anything unreadable.
double usableUserZoom(double zoom);

// Closing the window hides it instead while "startLogin" holds true, outside demo mode.
bool keepsRunningWhenClosed(const Json& settings, bool isDemo);

// Whether the program ends once its last window has closed.
bool terminatesAfterLastWindowClosed(const Json& settings, bool isDemo);

}  // namespace suite
