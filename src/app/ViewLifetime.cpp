#include "app/ViewLifetime.h"

#include "notify/Waiting.h"

namespace suite {

ViewLifetime::ViewLifetime(MainQueue& queue, WallClock wallClock, double quietSeconds,
                           bool keepAlways, ViewLifetimeHooks hooks)
    : queue_(queue),
      wallClock_(std::move(wallClock)),
      quietSeconds_(quietSeconds),
      keepAlways_(keepAlways),
      hooks_(std::move(hooks)) {}

void ViewLifetime::activity() {
    if (keepAlways_) return;
    lastActivity_ = queue_.now();
    // One timer at a time, however busy the bridge is; it looks at the latest activity when due.
    if (!quietArmed_ && !hooks_.shown()) armQuiet(quietSeconds_);
}

void ViewLifetime::armQuiet(double seconds) {
    quietArmed_ = true;
    queue_.postAfter(seconds, lifetime_.guard<>([this] { quietEnded(); }));
}

void ViewLifetime::quietEnded() {
    quietArmed_ = false;
    // Hiding the window again counts as activity and starts the next spell.
    if (!hooks_.loaded() || hooks_.shown()) return;
    const double left = lastActivity_ + quietSeconds_ - queue_.now();
    if (left > 0) return armQuiet(left);
    // Work under way ends with an event for the page, which starts a new spell; looking again
    // later keeps a flow that ends without one from holding the page for ever.
    if (hooks_.busy()) return armQuiet(quietSeconds_);
    std::optional<double> wakeAtMs;
    if (wakeAt_) wakeAtMs = *wakeAt_ * 1000;
    hooks_.drop(wakeAtMs);
}

void ViewLifetime::wakeAt(std::optional<double> milliseconds) {
    if (keepAlways_) return;
    ++wakeGeneration_;
    wakeAt_.reset();
    if (milliseconds) wakeAt_ = *milliseconds / 1000;
    if (wakeAt_) armWake(wakeGeneration_);
}

void ViewLifetime::armWake(std::uint64_t generation) {
    const double wait = secondsToNextLook(*wakeAt_, static_cast<double>(wallClock_()));
    queue_.postAfter(wait, lifetime_.guard<>([this, generation] { wakeDue(generation); }));
}

void ViewLifetime::wakeDue(std::uint64_t generation) {
    if (generation != wakeGeneration_) return;  // a later time has replaced this one
    if (*wakeAt_ > static_cast<double>(wallClock_())) return armWake(generation);
    wakeAt_.reset();
    // A page still loaded keeps its own schedule.
    if (hooks_.loaded()) return;
    hooks_.wake();
    activity();
}

}  // namespace suite
