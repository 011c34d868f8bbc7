#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;

void writeBundle(const fs::path& appDir, const std::string& name, const std::string& version) {
    fs::create_directories(appDir / name / "Contents");
    std::ofstream(appDir / name / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>"
        << version << "</string></dict></plist>\n";
}

Json appItem(const std::string& id, const std::string& bundle) {
    return {{"id", id}, {"group", "app"}, {"version", "2.0"}, {"detect", {{"apps", {bundle}}}}};
}

// A harness whose privileged runs never start, so every package not installed is handed over.
struct HandOffHarness : AppHarness {
    HandOffHarness() {
        start();
        privileged.outcome = {false, false, "", ""};
    }

    fs::path handOver(const Json& item, const std::string& fileName) {
        fs::path file = launch.cacheDir / fileName;
        std::ofstream(file) << fileName;
        delegate->runInstallers({{item, file}});
        queue.runUntilIdle();
        return file;
    }

    std::vector<Json> resultsSince(std::size_t from) {
        std::vector<Json> out;
        auto all = events();
        for (std::size_t i = from; i < all.size(); ++i) {
            if (all[i]["type"] == "result") out.push_back(all[i]);
        }
        return out;
    }

    AppDelegate& app() { return *delegate; }
};

Json success(const std::string& id, const Json& version) {
    return {{"type", "result"}, {"id", id}, {"ok", true}, {"version", version}};
}

Json failure(const std::string& id) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", "install"}};
}

TEST(HandOff, HandingOverRecordsOpensAndTellsThePage) {
    HandOffHarness h;
    const std::size_t before = h.events().size();
    auto first = h.handOver(appItem("a", "A.app"), "a-1.pkg");
    auto second = h.handOver(appItem("a", "A.app"), "a-2.pkg");

    // The later hand-off of the same id replaces the earlier one, handler included.
    ASSERT_EQ(h.app().handOff().size(), 1u);
    const auto& entry = h.app().handOff().at("a");
    EXPECT_EQ(entry.file, second);
    EXPECT_EQ(entry.handler, h.launcher.handlers.at(1));
    EXPECT_EQ(h.launcher.opened, (std::vector<std::string>{first.string(), second.string()}));
    auto events = h.events();
    EXPECT_EQ(events.back(),
              Json({{"type", "progress"}, {"id", "a"}, {"phase", "installer"}, {"pct", 100}}));
    EXPECT_TRUE(h.resultsSince(before).empty());

    // Only the later one is examined: stopping the first handler settles nothing.
    h.launcher.handlers[0]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_TRUE(h.resultsSince(before).empty());
    h.launcher.handlers[1]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before), std::vector<Json>{failure("a")});
}

TEST(HandOff, ActivationWithNothingHandedOverDoesNothing) {
    HandOffHarness h;
    const std::size_t before = h.events().size();
    const int activations = h.shell.activations;
    const std::size_t pending = h.queue.pending();
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.events().size(), before);
    EXPECT_EQ(h.shell.activations, activations);
    EXPECT_EQ(h.queue.pending(), pending);
}

TEST(HandOff, ReturnCheckSettlesEachEntryByItsProductAndItsOwnInstaller) {
    HandOffHarness h;
    const std::size_t before = h.events().size();
    auto installedFile = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto waitingFile = h.handOver(appItem("b", "B.app"), "b.pkg");
    auto unjudgedFile = h.handOver({{"id", "c"}, {"group", "font"}, {"version", 7}}, "c.pkg");
    auto closedFile = h.handOver(appItem("d", "D.app"), "d.pkg");
    ASSERT_EQ(h.launcher.handlers.size(), 4u);
    ASSERT_EQ(h.app().handOff().size(), 4u);

    // a is installed while its installer still runs; d's installer closed without installing;
    // b and c still have their installers open.
    writeBundle(h.dir / "Applications", "A.app", "2.0");
    writeBundle(h.dir / "Applications", "B.app", "1.0");
    h.launcher.handlers[3]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before), (std::vector<Json>{success("a", "2.0"), failure("d")}));
    EXPECT_FALSE(fs::exists(installedFile));
    EXPECT_TRUE(fs::exists(closedFile));
    EXPECT_EQ(h.app().handOff().size(), 2u);

    // Nothing changed: nothing more is said.
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before).size(), 2u);

    // Their installers close: b is still not installed, c cannot be judged and so counts as done.
    h.launcher.handlers[1]->running = false;
    h.launcher.handlers[2]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before), (std::vector<Json>{success("a", "2.0"), failure("d"),
                                                         failure("b"), success("c", 7)}));
    EXPECT_TRUE(fs::exists(waitingFile));
    EXPECT_FALSE(fs::exists(unjudgedFile));
    EXPECT_TRUE(h.app().handOff().empty());
}

TEST(HandOff, NoHandlerStartedCountsAsNotRunning) {
    HandOffHarness h;
    h.launcher.canOpen = false;
    const std::size_t before = h.events().size();
    auto file = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto unjudged = h.handOver({{"id", "c"}}, "c.pkg");
    ASSERT_EQ(h.app().handOff().size(), 2u);
    EXPECT_EQ(h.app().handOff().at("a").handler, nullptr);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before), (std::vector<Json>{failure("a"), success("c", "")}));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(unjudged));
}

TEST(HandOff, SelfSuccessRelaunchesAndLeavesTheRestForLater) {
    HandOffHarness h;
    const std::size_t before = h.events().size();
    Json self = appItem("a-suite", "TALVEN Suite.app");
    self["self"] = true;
    h.handOver(self, "suite.pkg");
    h.handOver({{"id", "b"}}, "b.pkg");
    for (auto& handler : h.launcher.handlers) handler->running = false;

    writeBundle(h.dir / "Applications", "TALVEN Suite.app", "2.0");
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before), std::vector<Json>{success("a-suite", "2.0")});
    ASSERT_EQ(h.app().handOff().size(), 1u);
    EXPECT_EQ(h.app().handOff().count("b"), 1u);

    // A return before the program has quit settles what was left.
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.resultsSince(before),
              (std::vector<Json>{success("a-suite", "2.0"), success("b", "")}));
    EXPECT_EQ(h.shell.terminations, 0);
    h.queue.advance(1.2);
    EXPECT_EQ(h.shell.terminations, 1);
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
}

}  // namespace
}  // namespace suite
