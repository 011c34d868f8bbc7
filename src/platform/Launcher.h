#pragma once
// Opening files with the program the desktop assigns to them, and knowing whether that program
// is still open.
#include <memory>
#include <string>

namespace suite {

class LaunchedHandler {
public:
    virtual ~LaunchedHandler() = default;
    // Whether the program started for the file is still running.
    virtual bool isRunning() const = 0;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens `path` with its default handler. Nothing when no handler could be started.
    virtual std::shared_ptr<LaunchedHandler> openWithDefaultHandler(const std::string& path) = 0;
};

}  // namespace suite
