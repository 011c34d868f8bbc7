#pragma once
// When the page may go and when it comes back. While no window shows and nothing is under way,
// the web view is dropped after a quiet spell, so that the web engine's processes end and the
// program waits at a fraction of their memory; the page's next automatic check loads it again,
// hidden. Main thread only.
#include <cstdint>
#include <functional>
#include <optional>

#include "catalog/CatalogTrust.h"
#include "common/Lifetime.h"
#include "platform/MainQueue.h"

namespace suite {

// What the lifetime asks of the window and the flows it watches.
struct ViewLifetimeHooks {
    std::function<bool()> loaded;  // the web view exists
    std::function<bool()> shown;   // the window is on screen
    std::function<bool()> busy;    // a check, install, hand-off or upload is under way
    // Lets the web view go; the page's next automatic check is due at `wakeAtMs` (milliseconds
    // since 1970; nothing: it has none).
    std::function<void(std::optional<double> wakeAtMs)> drop;
    std::function<void()> wake;  // loads the page without showing the window
};

class ViewLifetime {
  public:
    // `keepAlways`: the view is never dropped (a showcase run).
    ViewLifetime(MainQueue& queue, WallClock wallClock, double quietSeconds, bool keepAlways,
                 ViewLifetimeHooks hooks);
    ViewLifetime(const ViewLifetime&) = delete;
    ViewLifetime& operator=(const ViewLifetime&) = delete;

    // Something went to or came from the page, or the window was hidden: the quiet spell starts
    // again.
    void activity();
    // The page's next automatic check, in milliseconds since 1970; nothing: it has none. Only
    // the latest time counts.
    void wakeAt(std::optional<double> milliseconds);

  private:
    void armQuiet(double seconds);
    void quietEnded();
    void armWake(std::uint64_t generation);
    void wakeDue(std::uint64_t generation);

    MainQueue& queue_;
    const WallClock wallClock_;
    const double quietSeconds_;
    const bool keepAlways_;
    ViewLifetimeHooks hooks_;
    double lastActivity_ = 0;  // on the queue's clock
    bool quietArmed_ = false;
    std::optional<double> wakeAt_;  // seconds since 1970
    std::uint64_t wakeGeneration_ = 0;
    Lifetime lifetime_;
};

}  // namespace suite
