#include "demo/DemoRun.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Files.h"
#include "fakes/TempDir.h"
#include "platform/ManualMainQueue.h"

namespace suite::demo {
namespace {

namespace fs = std::filesystem;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "picture bytes";

// What the stage was asked to do and when, kept apart from the stage so that it can still be
// read after the stage is gone.
struct StageCall {
    std::string what;  // "js", "size", "shot" or "terminate"
    double at = 0;
    std::string source;
    double width = 0, height = 0;
};

class FakeStage final : public Stage {
public:
    FakeStage(ManualMainQueue& queue, std::vector<StageCall>& calls)
        : queue_(queue), calls_(calls) {}

    // How long an evaluation takes before it reports completion.
    double scriptSeconds = 0;
    // The picture a snapshot yields.
    std::optional<std::string> picture = kPng;
    // Completions come from the main loop later, as a web engine delivers them; set to answer
    // from inside the call instead.
    bool answerInsideTheCall = false;
    // Reports each completion twice, as a faulty engine might.
    bool answerTwice = false;

    void evaluateJavaScript(const std::string& source, std::function<void()> done) override {
        calls_.push_back({"js", queue_.now(), source, 0, 0});
        queue_.postAfter(scriptSeconds, done);
        if (answerTwice) queue_.postAfter(scriptSeconds, done);
    }
    void setContentSize(double width, double height) override {
        calls_.push_back({"size", queue_.now(), "", width, height});
    }
    void snapshotPng(std::function<void(std::optional<std::string>)> done) override {
        calls_.push_back({"shot", queue_.now(), "", 0, 0});
        if (answerInsideTheCall) {
            done(picture);
            if (answerTwice) done(picture);
            return;
        }
        queue_.post([done, png = picture] { done(png); });
        if (answerTwice) queue_.post([done, png = picture] { done(png); });
    }
    void terminate() override { calls_.push_back({"terminate", queue_.now(), "", 0, 0}); }

private:
    ManualMainQueue& queue_;
    std::vector<StageCall>& calls_;
};

std::vector<std::string> whats(const std::vector<StageCall>& calls) {
    std::vector<std::string> names;
    for (const auto& call : calls) names.push_back(call.what);
    return names;
}

using Timeline = std::vector<std::pair<std::string, double>>;

// Compares each call's source (or kind) and time with `expected`.
void expectTimeline(const std::vector<StageCall>& calls, const Timeline& expected, bool bySource) {
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(bySource ? calls[i].source : calls[i].what, expected[i].first) << i;
        EXPECT_DOUBLE_EQ(calls[i].at, expected[i].second) << i;
    }
}

std::string readFile(const fs::path& path) { return readWholeFile(path).value_or(""); }

class DemoRunTest : public ::testing::Test {
protected:
    // Plays `steps` to the end (bounded in virtual time) and returns what the stage saw.
    void play(std::string_view steps) { startDemoRun(queue, stage, steps), queue.runUntilIdle(600); }

    // Plays `steps` on a clock of its own, so that every time seen counts from zero.
    static std::vector<StageCall> playFromZero(const std::string& steps) {
        ManualMainQueue ownQueue;
        std::vector<StageCall> ownCalls;
        auto ownStage = std::make_shared<FakeStage>(ownQueue, ownCalls);
        startDemoRun(ownQueue, ownStage, steps);
        ownQueue.runUntilIdle(600);
        return ownCalls;
    }

    // When the step after `step` started: `step` followed by a script that marks the moment.
    static double startOfStepAfter(const std::string& step) {
        for (const auto& call : playFromZero(step + "\njs mark"))
            if (call.what == "js" && call.source == "mark") return call.at;
        ADD_FAILURE() << "the step after \"" << step << "\" never ran";
        return -1;
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    ManualMainQueue queue;
    std::vector<StageCall> calls;
    std::shared_ptr<FakeStage> stage = std::make_shared<FakeStage>(queue, calls);
    fakes::TempDir dir;
    fs::path folder = dir.path();
};

TEST_F(DemoRunTest, ResizeWaitShotAndQuitRunOnTheirTimes) {
    const fs::path picture = folder / "a.png";
    startDemoRun(queue, stage, "size 1280 800\nwait 2\nshot " + picture.string() + "\nquit\n");

    queue.advance(1.49);
    EXPECT_TRUE(calls.empty());
    queue.runUntilIdle(600);

    ASSERT_EQ(whats(calls), (std::vector<std::string>{"size", "shot", "terminate"}));
    EXPECT_DOUBLE_EQ(calls[0].at, 1.5);
    EXPECT_EQ(calls[0].width, 1280);
    EXPECT_EQ(calls[0].height, 800);
    EXPECT_DOUBLE_EQ(calls[1].at, 4.0);
    EXPECT_DOUBLE_EQ(calls[2].at, 4.0);
    EXPECT_EQ(readFile(picture), kPng);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"a.png"});
    EXPECT_EQ(queue.pending(), 0u);
}

TEST_F(DemoRunTest, WaitTakesItsNumberOrOneSecond) {
    // "wait  2" keeps the second space, so no numeral; below zero or NaN means no delay.
    for (auto [step, at] : {std::pair{"wait 2", 3.5}, {"wait 0.25", 1.75}, {"wait 0x1p1", 3.5},
                            {"wait", 2.5}, {"wait two", 2.5}, {"wait  2", 2.5}, {"wait -3", 1.5},
                            {"wait nan", 1.5}})
        EXPECT_DOUBLE_EQ(startOfStepAfter(step), at) << step;
}

TEST_F(DemoRunTest, SizeResizesOnlyForTwoUsableNumbersAndAlwaysGoesOnAfterHalfASecond) {
    // Numbers that no window can take ("nan", "inf", below one point, absurdly large) are
    // refused like a wrong count.
    for (const char* step : {"size 1280", "size 1280 800 600", "size", "size 1280x800",
                             "size nan 800", "size 1280 inf", "size -1280 800", "size 1e300 1"}) {
        const auto seen = playFromZero(step + std::string("\njs mark"));
        ASSERT_EQ(whats(seen), std::vector<std::string>{"js"}) << step;
        EXPECT_DOUBLE_EQ(seen[0].at, 2.0) << step;
    }
    const auto resized = playFromZero("size abc 1280 800\njs mark");
    ASSERT_EQ(whats(resized), (std::vector<std::string>{"size", "js"}));
    EXPECT_EQ(std::pair(resized[0].width, resized[0].height), std::pair(1280.0, 800.0));
    EXPECT_DOUBLE_EQ(resized[1].at, 2.0);
}

TEST_F(DemoRunTest, BlankLinesAndUnknownCommandsAreSkippedAtOnce) {
    play(" \t \nJS bad()\nshout x\n\t\njs good()\nquit");
    ASSERT_EQ(whats(calls), (std::vector<std::string>{"js", "terminate"}));
    EXPECT_EQ(calls[0].source, "good()");
    EXPECT_DOUBLE_EQ(calls[0].at, 1.5);
    EXPECT_DOUBLE_EQ(calls[1].at, 1.7);
}

TEST_F(DemoRunTest, ScriptStepWaitsForTheEvaluationThenAFifthOfASecond) {
    stage->scriptSeconds = 3;
    play("js document.title = 'a  b'\nquit");
    ASSERT_EQ(whats(calls), (std::vector<std::string>{"js", "terminate"}));
    EXPECT_EQ(calls[0].source, "document.title = 'a  b'");
    EXPECT_DOUBLE_EQ(calls[1].at, 4.7);
}

TEST_F(DemoRunTest, RunWithoutQuitEndsAndLeavesNothingBehind) {
    play("size 640 480\nwait 1\njs x");
    EXPECT_EQ(whats(calls), (std::vector<std::string>{"size", "js"}));
    EXPECT_EQ(queue.pending(), 0u);

    calls.clear();
    play("");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(queue.pending(), 0u);
}

TEST_F(DemoRunTest, ShotReplacesAnOldPictureAndAFailedOneLeavesNoFileAndGoesOnAtOnce) {
    const fs::path picture = folder / "a.png";
    std::ofstream(picture) << "an old and much longer picture than the new one will be";
    play("shot " + picture.string());
    EXPECT_EQ(readFile(picture), kPng);

    const fs::path missing = folder / "missing" / "a.png";
    const fs::path intoAFolder = folder / "taken";
    fs::create_directory(intoAFolder);
    calls.clear();
    const double start = queue.now();
    play("wait 1\nshot " + missing.string() + "\nshot " + intoAFolder.string() + "\nquit");
    stage->picture.reset();
    play("shot " + (folder / "b.png").string() + "\nquit");
    ASSERT_EQ(whats(calls), (std::vector<std::string>{"shot", "shot", "terminate", "shot", "terminate"}));
    EXPECT_DOUBLE_EQ(calls[2].at, start + 2.5);
    EXPECT_TRUE(fs::is_directory(intoAFolder));
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"a.png", "taken"}));
}

TEST_F(DemoRunTest, RunStopsOnceTheStageIsGone) {
    startDemoRun(queue, stage, "size 100 100\nwait 5\nsize 200 200\nquit");
    queue.advance(3);
    ASSERT_EQ(whats(calls), std::vector<std::string>{"size"});
    stage.reset();
    queue.runUntilIdle(600);
    EXPECT_EQ(whats(calls), std::vector<std::string>{"size"});
    EXPECT_EQ(queue.pending(), 0u);
}

TEST_F(DemoRunTest, RunsStartedByTwoLoadsInterleaveWithTheirOwnSteps) {
    startDemoRun(queue, stage, "wait 1\njs first-a\njs first-b");
    queue.advance(0.25);
    startDemoRun(queue, stage, "js second-a\nwait 1\njs second-b");
    queue.runUntilIdle(600);

    expectTimeline(calls, {{"second-a", 1.75}, {"first-a", 2.5}, {"first-b", 2.7}, {"second-b", 2.95}}, true);
}

TEST_F(DemoRunTest, CompletionReportedTwiceDoesNotRunTheRestTwice) {
    stage->answerTwice = true;
    play("js a\nshot " + (folder / "a.png").string() + "\njs b\njs c\nquit");

    expectTimeline(calls, {{"js", 1.5}, {"shot", 1.7}, {"js", 1.7}, {"js", 1.9}, {"terminate", 2.1}}, false);
}

// Steps that go on at once, and pictures that come back before the snapshot call returns, must
// not nest one call per step: a long file would exhaust the stack.
TEST_F(DemoRunTest, LongRunsOfImmediateStepsDoNotDeepenTheStack) {
    constexpr int kSteps = 100000;
    stage->picture.reset();
    stage->answerInsideTheCall = true;
    std::string steps;
    for (int i = 0; i < kSteps; ++i) steps += "nothing\n \n";
    for (int i = 0; i < kSteps; ++i) steps += "shot " + (folder / "never.png").string() + "\n";
    play(steps + "quit");
    ASSERT_EQ(calls.size(), kSteps + 1u);
    EXPECT_EQ(calls.back().what, "terminate");
    EXPECT_DOUBLE_EQ(calls.back().at, 1.5);
    EXPECT_TRUE(folderEntries().empty());
}

}  // namespace
}  // namespace suite::demo
