#pragma once
// The main queue on GLib's default main context.
#include <atomic>
#include <memory>

#include "platform/MainQueue.h"

namespace suite::gtk {

class GlibMainQueue final : public MainQueue {
  public:
    GlibMainQueue() = default;
    GlibMainQueue(const GlibMainQueue&) = delete;
    GlibMainQueue& operator=(const GlibMainQueue&) = delete;
    ~GlibMainQueue() override { close(); }

    void post(Task task) override;
    void postAfter(double seconds, Task task) override;
    // GLib's monotonic clock, which its timers run by.
    double now() const override;

    // The program is ending: from now on nothing posted runs, neither what waits in GLib's
    // context (which outlives this queue, and which a test process goes on turning) nor what a
    // background job posts as it finishes. Callable from any thread.
    void close() { open_->store(false); }

  private:
    std::shared_ptr<std::atomic<bool>> open_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace suite::gtk
