#pragma once
// The scripted demo run: a steps file played against the page and the window so that pictures
// of the interface can be made without anyone at the keyboard.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/MainQueue.h"

namespace suite::demo {

// What a run acts on: the page, the window around it and the application.
class Stage {
  public:
    virtual ~Stage() = default;

    // `done` runs on the main thread once the evaluation has completed, whatever its outcome.
    virtual void evaluateJavaScript(const std::string& source, std::function<void()> done) = 0;
    virtual void setContentSize(double width, double height) = 0;
    // The user's zoom one step larger (`direction` > 0), smaller (< 0), or back to 100 % (0), as
    // the View menu does it.
    virtual void zoom(int direction) = 0;
    // The visible page, or with `wholeWindow` the window as drawn (its native strip too), as PNG
    // bytes; nothing when no picture can be had.
    virtual void snapshotPng(bool wholeWindow,
                             std::function<void(std::optional<std::string> png)> done) = 0;
    virtual void terminate() = 0;
};

// Plays `stepsText` against `stage`, starting 1.5 s from now on `queue`. The run keeps its own
// copy of the steps, so several runs may go on side by side; it ends after its last step, at a
// "quit" step, or silently once the stage is gone. Nothing is reported to anyone.
void startDemoRun(MainQueue& queue, std::weak_ptr<Stage> stage, std::string_view stepsText);

}  // namespace suite::demo
