#pragma once
// The main queue on GLib's default main context.
#include "platform/MainQueue.h"

namespace suite::gtk {

class GtkMainQueue final : public MainQueue {
  public:
    void post(Task task) override;
    void postAfter(double seconds, Task task) override;
};

}  // namespace suite::gtk
