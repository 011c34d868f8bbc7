#include "demo/DemoRun.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "demo/Steps.h"
#include "platform/Files.h"

namespace suite::demo {

namespace {

// The page has just loaded: give it time to settle before the first step.
constexpr double kFirstStepDelay = 1.5;
// Lets the page render what a script changed before the next step looks at it.
constexpr double kAfterScriptDelay = 0.2;
// Lets the window manager and the page lay out the new size.
constexpr double kAfterResizeDelay = 0.5;

// One run of a steps file. It is owned only by the timer or callback that will continue it, so it
// goes away on its own once nothing is left to continue it.
class DemoRun : public std::enable_shared_from_this<DemoRun> {
  public:
    DemoRun(MainQueue& queue, std::weak_ptr<Stage> stage, std::vector<std::string> steps)
        : queue_(queue), stage_(std::move(stage)), steps_(std::move(steps)) {}

    void start() { scheduleNext(kFirstStepDelay); }

  private:
    // Runs the step at the front. A step that goes on at once calls `next` again, and when that
    // happens while a step is still being run (including a snapshot that completes before
    // `snapshotPng` returns), the request is only noted and this loop takes it up: a file of a
    // hundred thousand such steps then runs in constant stack depth.
    void next() {
        if (stepping_) {
            goOnNow_ = true;
            return;
        }
        stepping_ = true;
        do {
            goOnNow_ = false;
            runFrontStep();
        } while (goOnNow_);
        stepping_ = false;
    }

    void runFrontStep() {
        if (front_ == steps_.size()) return;  // the run is over; the program stays open
        const std::shared_ptr<Stage> stage = stage_.lock();
        if (!stage) return;  // the window is gone: nothing left to act on
        // Moving the line out frees it, so a long run does not hold every step it has done.
        const std::string line = std::exchange(steps_[front_++], {});
        const std::optional<Step> step = parseStep(line);
        if (!step) {
            next();
            return;
        }

        if (step->command == "js") {
            stage->evaluateJavaScript(step->argument, continueOnce([self = shared_from_this()] {
                                          self->scheduleNext(kAfterScriptDelay);
                                      }));
        } else if (step->command == "wait") {
            scheduleNext(waitSeconds(step->argument));
        } else if (step->command == "size") {
            const auto size = sizeArgument(step->argument);
            if (size && isUsableContentSize(size->first, size->second)) {
                stage->setContentSize(size->first, size->second);
            }
            scheduleNext(kAfterResizeDelay);
        } else if (step->command == "zoom") {
            // "zoom in", "zoom out" or "zoom reset"; anything else is skipped like an unknown step.
            const std::string& how = step->argument;
            if (how == "in" || how == "out" || how == "reset") {
                stage->zoom(how == "in" ? 1 : how == "out" ? -1 : 0);
                scheduleNext(kAfterResizeDelay);
            } else {
                next();
            }
        } else if (step->command == "shot" || step->command == "window-shot") {
            takeShot(*stage, step->command == "window-shot", std::filesystem::path(step->argument));
        } else if (step->command == "quit") {
            stage->terminate();
        } else {
            next();
        }
    }

    void takeShot(Stage& stage, bool wholeWindow, std::filesystem::path target) {
        auto answered = std::make_shared<bool>(false);
        stage.snapshotPng(wholeWindow,
                          [self = shared_from_this(), answered,
                           target = std::move(target)](std::optional<std::string> png) {
                              if (std::exchange(*answered, true)) return;
                              // Written beside the target and renamed into place, so a failed write
                              // never leaves a cut-off picture under the target's name. A failure
                              // is not reported: the run goes on.
                              if (png && !png->empty()) writeFileAtomically(target, *png);
                              self->next();
                          });
    }

    // A completion that the web engine might, by mistake, call twice must not fork the run into
    // two interleaved copies of itself.
    static std::function<void()> continueOnce(std::function<void()> continuation) {
        auto answered = std::make_shared<bool>(false);
        return [answered, continuation = std::move(continuation)] {
            if (std::exchange(*answered, true)) return;
            continuation();
        };
    }

    void scheduleNext(double seconds) {
        queue_.postAfter(seconds, [self = shared_from_this()] { self->next(); });
    }

    MainQueue& queue_;
    std::weak_ptr<Stage> stage_;
    std::vector<std::string> steps_;
    std::size_t front_ = 0;
    bool stepping_ = false;
    bool goOnNow_ = false;
};

}  // namespace

void startDemoRun(MainQueue& queue, std::weak_ptr<Stage> stage, std::string_view stepsText) {
    std::make_shared<DemoRun>(queue, std::move(stage), splitStepLines(stepsText))->start();
}

}  // namespace suite::demo
