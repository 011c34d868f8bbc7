#pragma once
// The main queue on GLib's default main context.
#include "platform/MainQueue.h"

namespace suite::gtk {

class GtkMainQueue final : public MainQueue {
  public:
    void post(Task task) override;
    void postAfter(double seconds, Task task) override;
    // GLib's monotonic clock, which its timers run by.
    double now() const override;
};

}  // namespace suite::gtk
