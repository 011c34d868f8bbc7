#pragma once
// Watching a file through GIO's file monitor (inotify on Linux), which reports on the main
// context it was made on.
#include "platform/FileWatch.h"

namespace suite::gtk {

class GioFileWatcher final : public FileWatcher {
  public:
    std::unique_ptr<FileWatch> watch(const std::string& path, Task changed) override;
};

}  // namespace suite::gtk
