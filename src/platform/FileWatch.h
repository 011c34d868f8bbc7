#pragma once
// Hearing that a file changed, on the main thread. Something outside the program (the desktop's
// installer) changes the package database; it is read again when that happens, not each time
// the user comes back to the window.
#include <memory>
#include <string>

#include "platform/MainQueue.h"

namespace suite {

// The file is watched for as long as this exists.
class FileWatch {
  public:
    virtual ~FileWatch() = default;
};

class FileWatcher {
  public:
    virtual ~FileWatcher() = default;
    // Calls `changed` on the main thread whenever the file at `path` is written, replaced,
    // created or removed, until the watch returned goes; nothing when it cannot be watched. One
    // change may be told several times (a writer writes in parts).
    virtual std::unique_ptr<FileWatch> watch(const std::string& path, Task changed) = 0;
};

}  // namespace suite
