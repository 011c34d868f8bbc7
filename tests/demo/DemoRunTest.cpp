#include "demo/DemoRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/TempDir.h"
#include "platform/Files.h"
#include "platform/ManualMainQueue.h"

namespace suite::demo {
namespace {

namespace fs = std::filesystem;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "picture bytes";

// Records what it was asked to do and when, as "what argument @seconds", in a list that
// outlives it.
class FakeStage final : public Stage {
  public:
    FakeStage(ManualMainQueue& queue, std::vector<std::string>& calls)
        : queue_(queue), calls_(calls) {}

    double scriptSeconds = 0;  // how long an evaluation takes before it reports completion
    std::optional<std::string> picture = kPng;
    // Completions come from the main loop later, as a web engine delivers them; set to answer
    // from inside the call instead.
    bool answerInsideTheCall = false;
    bool answerTwice = false;  // as a faulty engine might

    void evaluateJavaScript(const std::string& source, std::function<void()> done) override {
        record("js " + source);
        for (int i = 0; i < (answerTwice ? 2 : 1); ++i) queue_.postAfter(scriptSeconds, done);
    }
    void setContentSize(double width, double height) override {
        char size[64];
        std::snprintf(size, sizeof size, "size %gx%g", width, height);
        record(size);
    }
    void zoom(int direction) override { record("zoom " + std::to_string(direction)); }
    void snapshotPng(bool wholeWindow,
                     std::function<void(std::optional<std::string>)> done) override {
        record(wholeWindow ? "window-shot" : "shot");
        for (int i = 0; i < (answerTwice ? 2 : 1); ++i) {
            if (answerInsideTheCall)
                done(picture);
            else
                queue_.post([done, png = picture] { done(png); });
        }
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

class DemoRunTest : public ::testing::Test {
  protected:
    // Plays `steps` to the end (bounded in virtual time) on a clock of its own, so that every
    // time seen counts from zero, and returns what the stage saw.
    Calls play(std::string_view steps) {
        ManualMainQueue queue;
        Calls calls;
        auto stage = std::make_shared<FakeStage>(queue, calls);
        configure(*stage);
        startDemoRun(queue, stage, steps);
        queue.runUntilIdle(600);
        EXPECT_EQ(queue.pending(), 0u) << "a run left work behind";
        return calls;
    }
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::function<void(FakeStage&)> configure = [](FakeStage&) {};
    fakes::TempDir dir;
};

TEST_F(DemoRunTest, EachStepTakesItsTime) {
    // Every "size" goes on after half a second and a script after its evaluation and a fifth of a
    // second. "wait  2" keeps the second space, so no numeral; below zero means no delay.
    // Sizes no window can take are refused like a wrong count. Blank lines and unknown commands
    // take no time, and a run without "quit" ends by itself.
    configure = [](FakeStage& stage) { stage.scriptSeconds = 0.1; };
    const std::pair<std::string, Calls> cases[] = {
        {"size 1280 800\nwait 2\njs x\nquit", {"size 1280x800 @1.5", "js x @4", "terminate @4.3"}},
        // Blanks around a line go, the first space parts command and argument, and a tab does not.
        {" \t js document.title = 'a  b' \t \njs\tx y", {"js document.title = 'a  b' @1.5"}},
        {"", {}},
        {"wait 0.25\njs mark", {"js mark @1.75"}},
        {"wait\njs mark", {"js mark @2.5"}},
        {"wait  2\njs mark", {"js mark @2.5"}},
        {"wait -3\njs mark", {"js mark @1.5"}},
        {"size abc  1280 x 800 px  \njs mark", {"size 1280x800 @1.5", "js mark @2"}},
        {"size 0.5 16384\njs mark", {"size 0.5x16384 @1.5", "js mark @2"}},
        // The View menu's three zoom commands; any other word is an unknown step.
        {"zoom in\nzoom out\nzoom reset\nzoom 2\njs mark",
         {"zoom 1 @1.5", "zoom -1 @2", "zoom 0 @2.5", "js mark @3"}},
        {" \t \nJS bad()\nshout x\n\t\njs mark", {"js mark @1.5"}},
    };
    for (const auto& [steps, calls] : cases) EXPECT_EQ(play(steps), calls) << steps;
    for (const char* step :
         {"size 1280", "size 1280 800 600", "size", "size 1280,800", "size 1280 inf",
          "size -1280 800", "size 1280 0", "size 1280 16384.000000000004"})
        EXPECT_EQ(play(step + std::string("\njs mark")), Calls{"js mark @2"}) << step;
}

TEST_F(DemoRunTest, ShotReplacesTheFileWholeAndAFailedOneLeavesNoFileAndGoesOnAtOnce) {
    const fs::path picture = dir / "a.png";
    std::ofstream(picture) << "an old and much longer picture than the new one will be";
    fs::create_directory(dir / "taken");
    EXPECT_EQ(
        play("window-shot " + picture.string() + "\nshot " + (dir / "missing" / "b.png").string() +
             "\nshot " + (dir / "taken").string() + "\nquit"),
        (Calls{"window-shot @1.5", "shot @1.5", "shot @1.5", "terminate @1.5"}));
    EXPECT_EQ(readWholeFile(picture), kPng);
    configure = [](FakeStage& stage) { stage.picture.reset(); };
    EXPECT_EQ(play("shot " + (dir / "c.png").string() + "\nquit"),
              (Calls{"shot @1.5", "terminate @1.5"}));
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"a.png", "taken"}));
}

// Runs started by two page loads interleave, each with its own steps, and both stop once the
// stage is gone.
TEST_F(DemoRunTest, RunsStartedByTwoLoadsInterleaveAndStopWithTheStage) {
    ManualMainQueue queue;
    Calls calls;
    auto stage = std::make_shared<FakeStage>(queue, calls);
    startDemoRun(queue, stage, "wait 1\njs first-a\njs first-b\nwait 5\njs first-c");
    queue.advance(0.25);
    startDemoRun(queue, stage, "js second-a\nwait 1\njs second-b\nwait 5\njs second-c");
    queue.advance(5);
    stage.reset();
    queue.runUntilIdle(600);
    EXPECT_EQ(calls, (Calls{"js second-a @1.75", "js first-a @2.5", "js first-b @2.7",
                            "js second-b @2.95"}));
    EXPECT_EQ(queue.pending(), 0u);
}

TEST_F(DemoRunTest, CompletionReportedTwiceDoesNotRunTheRestTwice) {
    configure = [](FakeStage& stage) { stage.answerTwice = true; };
    EXPECT_EQ(play("js a\nshot " + (dir / "a.png").string() + "\njs b\njs c\nquit"),
              (Calls{"js a @1.5", "shot @1.7", "js b @1.7", "js c @1.9", "terminate @2.1"}));
}

// Steps that go on at once, and pictures that come back before the snapshot call returns, must
// not nest one call per step: a long file would exhaust the stack.
TEST_F(DemoRunTest, LongRunsOfImmediateStepsDoNotDeepenTheStack) {
    constexpr int kSteps = 100000;
    configure = [](FakeStage& stage) {
        stage.picture.reset();
        stage.answerInsideTheCall = true;
    };
    std::string steps;
    for (int i = 0; i < kSteps; ++i) steps += "nothing\n \n";
    for (int i = 0; i < kSteps; ++i) steps += "shot " + (dir / "never.png").string() + "\n";
    const Calls calls = play(steps + "quit");
    ASSERT_EQ(calls.size(), kSteps + 1u);
    EXPECT_EQ(calls.back(), "terminate @1.5");
    EXPECT_TRUE(folderEntries().empty());
}

}  // namespace
}  // namespace suite::demo
