#pragma once
// Opening files with the program the desktop assigns to them, knowing whether that program is
// still open, and starting installed programs by their desktop entries.
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
    std::shared_ptr<LaunchedHandler> openWithDefaultHandler(const std::string& path) {
        return openWithHandlerFor(path, "");
    }
    // Opens `path` with the default handler of `contentType` (a MIME type), or of the file's own
    // type when that is empty. Nothing when there is no such handler or it could not be started.
    virtual std::shared_ptr<LaunchedHandler> openWithHandlerFor(const std::string& path,
                                                                const std::string& contentType) = 0;
    // Starts the program of the desktop entry `desktopId` ("name.desktop") as the desktop's
    // launcher would. Returns whether it was started.
    virtual bool launchApplication(const std::string& desktopId) = 0;
};

}  // namespace suite
