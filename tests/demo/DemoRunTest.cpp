#include "demo/DemoRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ManualMainQueue.h"

namespace suite::demo {
namespace {

// Records what it was asked to do and when, as "what argument @seconds", in a list that
// outlives it. An evaluation reports completion a tenth of a second later.
class FakeStage final : public Stage {
  public:
    FakeStage(ManualMainQueue& queue, std::vector<std::string>& calls)
        : queue_(queue), calls_(calls) {}

    void evaluateJavaScript(const std::string& source, std::function<void()> done) override {
        record("js " + source);
        queue_.postAfter(0.1, done);
    }
    void setContentSize(double width, double height) override {
        char size[64];
        std::snprintf(size, sizeof size, "size %gx%g", width, height);
        record(size);
    }
    void zoom(int direction) override { record("zoom " + std::to_string(direction)); }
    void snapshotPng(bool, std::function<void(std::optional<std::string>)> done) override {
        record("shot");
        queue_.post([done] { done(std::nullopt); });
    }
    void terminate() override { record("terminate"); }

  private:
    void record(const std::string& what) {
        char at[32];
        std::snprintf(at, sizeof at, " @%g", queue_.now());
        calls_.push_back(what + at);
    }
    ManualMainQueue& queue_;
    std::vector<std::string>& calls_;
};

using Calls = std::vector<std::string>;

// Plays `steps` to the end (bounded in virtual time) on a clock of its own, so that every time
// seen counts from zero, and returns what the stage saw. Shots and a real window are the
// whole program's test's (tests/e2e).
Calls play(std::string_view steps) {
    ManualMainQueue queue;
    Calls calls;
    auto stage = std::make_shared<FakeStage>(queue, calls);  // the run holds it weakly
    startDemoRun(queue, stage, steps);
    queue.runUntilIdle(600);
    EXPECT_EQ(queue.pending(), 0u) << "a run left work behind";
    return calls;
}

TEST(DemoRun, EachStepTakesItsTime) {
    // Every "size" goes on after half a second and a script after its evaluation and a fifth of a
    // second; a "wait" without a numeral waits a second. Sizes no window can take are refused like
    // a wrong count, unknown steps take no time, and a run without "quit" ends by itself.
    const std::pair<std::string, Calls> cases[] = {
        {"size 1280 800\nwait 2\njs x\nquit", {"size 1280x800 @1.5", "js x @4", "terminate @4.3"}},
        // Blanks around a line go, the first space parts command and argument, and a tab does not.
        {" \t js document.title = 'a  b' \t \njs\tx y", {"js document.title = 'a  b' @1.5"}},
        {"wait 0.25\njs mark", {"js mark @1.75"}},
        {"wait\njs mark", {"js mark @2.5"}},
        {"size abc  1280 x 800 px  \njs mark", {"size 1280x800 @1.5", "js mark @2"}},
        // The View menu's three zoom commands; any other word is an unknown step.
        {"zoom in\nzoom out\nzoom reset\nzoom 2\njs mark",
         {"zoom 1 @1.5", "zoom -1 @2", "zoom 0 @2.5", "js mark @3"}},
    };
    for (const auto& [steps, calls] : cases) EXPECT_EQ(play(steps), calls) << steps;
    for (const char* step : {"size 1280", "size 1280 inf", "size 1280 16384.000000000004"})
        EXPECT_EQ(play(step + std::string("\njs mark")), Calls{"js mark @2"}) << step;
}

}  // namespace
}  // namespace suite::demo
