#pragma once
// The host tests drive GTK's default main context by hand.
#include <glib.h>

#include <chrono>
#include <functional>

namespace suite::gtk {

// Turns the main loop until `done` holds or `seconds` pass; returns whether it held.
inline bool spinUntil(const std::function<bool()>& done, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

// Lets the loop run for `seconds` so that whatever is under way can happen.
inline void spinFor(double seconds) {
    spinUntil([] { return false; }, seconds);
}

}  // namespace suite::gtk
