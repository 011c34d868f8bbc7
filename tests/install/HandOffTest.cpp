#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;

Json appItem(const std::string& id, const std::string& bundle) {
    return {{"id", id}, {"group", "app"}, {"version", "2.0"}, {"detect", {{"apps", {bundle}}}}};
}

Json success(const std::string& id, const Json& version) {
    return {{"type", "result"}, {"id", id}, {"ok", true}, {"version", version}};
}

Json failure(const std::string& id) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", "install"}};
}

// Privileged runs never start here, so every package not installed is handed over.
struct HandOffHarness : AppHarness {
    HandOffHarness() {
        start();
        privileged.outcome = {false, false, "", ""};
        before = events().size();
    }
    fs::path handOver(const Json& item, const std::string& fileName) {
        std::ofstream(launch.cacheDir / fileName) << fileName;
        delegate->runInstallers({{item, launch.cacheDir / fileName}});
        queue.runUntilIdle();
        return launch.cacheDir / fileName;
    }
    void installBundle(const std::string& name, const std::string& version) {
        fs::create_directories(dir / "Applications" / name / "Contents");
        std::ofstream(dir / "Applications" / name / "Contents" / "Info.plist")
            << "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>"
            << version << "</string></dict></plist>\n";
    }
    std::vector<Json> results() {
        std::vector<Json> out;
        auto all = events();
        for (std::size_t i = before; i < all.size(); ++i)
            if (all[i]["type"] == "result") out.push_back(all[i]);
        return out;
    }
    AppDelegate& app() { return *delegate; }
    std::size_t before = 0;
};

TEST(HandOff, HandingOverRecordsOpensAndTellsThePage) {
    HandOffHarness h;
    const int activations = h.shell.activations;
    const std::size_t pending = h.queue.pending();
    h.app().applicationDidBecomeActive();  // nothing handed over: nothing happens
    EXPECT_EQ(h.events().size(), h.before);
    EXPECT_EQ(h.shell.activations, activations);
    EXPECT_EQ(h.queue.pending(), pending);

    auto first = h.handOver(appItem("a", "A.app"), "a-1.pkg");
    auto second = h.handOver(appItem("a", "A.app"), "a-2.pkg");
    // The later hand-off of the same id replaces the earlier one, handler included.
    ASSERT_EQ(h.app().handOff().size(), 1u);
    EXPECT_EQ(h.app().handOff().at("a").file, second);
    EXPECT_EQ(h.app().handOff().at("a").handler, h.launcher.handlers.at(1));
    EXPECT_EQ(h.launcher.opened, (std::vector<std::string>{first.string(), second.string()}));
    EXPECT_EQ(h.events().back(),
              Json({{"type", "progress"}, {"id", "a"}, {"phase", "installer"}, {"pct", 100}}));
    EXPECT_TRUE(h.results().empty());

    // Only the later one is examined: stopping the first handler settles nothing.
    h.launcher.handlers[0]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_TRUE(h.results().empty());
    h.launcher.handlers[1]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), std::vector<Json>{failure("a")});
}

TEST(HandOff, ReturnCheckSettlesEachEntryByItsProductAndItsOwnInstaller) {
    HandOffHarness h;
    auto installed = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto waiting = h.handOver(appItem("b", "B.app"), "b.pkg");
    auto unjudged = h.handOver({{"id", "c"}, {"group", "font"}, {"version", 7}}, "c.pkg");
    auto closed = h.handOver(appItem("d", "D.app"), "d.pkg");
    ASSERT_EQ(h.launcher.handlers.size(), 4u);

    // a installed while its installer runs; d's installer closed without installing.
    h.installBundle("A.app", "2.0");
    h.installBundle("B.app", "1.0");
    h.launcher.handlers[3]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d")}));
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_TRUE(fs::exists(closed));
    EXPECT_EQ(h.app().handOff().size(), 2u);
    h.app().applicationDidBecomeActive();  // nothing changed: nothing more is said
    EXPECT_EQ(h.results().size(), 2u);

    // Installers close: b is still not installed, c cannot be judged and so counts as done.
    h.launcher.handlers[1]->running = false;
    h.launcher.handlers[2]->running = false;
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d"), failure("b"),
                                              success("c", 7)}));
    EXPECT_TRUE(fs::exists(waiting));
    EXPECT_FALSE(fs::exists(unjudged));
    EXPECT_TRUE(h.app().handOff().empty());
}

TEST(HandOff, NoHandlerStartedCountsAsNotRunning) {
    HandOffHarness h;
    h.launcher.canOpen = false;
    auto file = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto unjudged = h.handOver({{"id", "c"}}, "c.pkg");
    EXPECT_EQ(h.app().handOff().at("a").handler, nullptr);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{failure("a"), success("c", "")}));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(unjudged));
}

TEST(HandOff, SelfSuccessRelaunchesAndLeavesTheRestForLater) {
    HandOffHarness h;
    Json self = appItem("a-suite", "TALVEN Suite.app");
    self["self"] = true;
    h.handOver(self, "suite.pkg");
    h.handOver({{"id", "b"}}, "b.pkg");
    for (auto& handler : h.launcher.handlers) handler->running = false;
    h.installBundle("TALVEN Suite.app", "2.0");
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), std::vector<Json>{success("a-suite", "2.0")});
    EXPECT_EQ(h.app().handOff().count("b"), 1u);

    // A return before the program has quit settles what was left.
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a-suite", "2.0"), success("b", "")}));
    EXPECT_EQ(h.shell.terminations, 0);
    h.queue.advance(1.2);
    EXPECT_EQ(h.shell.terminations, 1);
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
}

}  // namespace
}  // namespace suite
