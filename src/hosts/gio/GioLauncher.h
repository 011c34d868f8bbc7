#pragma once
// Opening a file with its default program through GIO, and telling whether that program, started
// by us, is still running.
#include <gio/gio.h>
#include <sys/types.h>

#include <functional>

#include "platform/Launcher.h"

namespace suite::gtk {

class GioLauncher final : public Launcher {
  public:
    // The toolkit's launch context carries the startup notification, so the desktop shows the
    // start; without one, GIO's plain context is used.
    using LaunchContext = std::function<GAppLaunchContext*()>;
    explicit GioLauncher(LaunchContext launchContext = nullptr)
        : launchContext_(std::move(launchContext)) {}

    std::shared_ptr<LaunchedHandler> openWithHandlerFor(const std::string& path,
                                                        const std::string& contentType) override;
    bool launchApplication(const std::string& desktopId) override;

  private:
    LaunchContext launchContext_;
};

// A process we started: running while it exists and has not exited (a child that has exited but
// was not yet reaped counts as gone). A handler activated over D-Bus has no process of ours to
// watch (pid 0) and counts as not running.
class ProcessHandler final : public LaunchedHandler {
  public:
    explicit ProcessHandler(pid_t pid) : pid_(pid) {}
    bool isRunning() const override;

  private:
    pid_t pid_;
};

}  // namespace suite::gtk
