#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

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
struct HandOffHarness : fakes::AppHarness {
    HandOffHarness() {
        start();
        privileged.outcome = {false, false, "", ""};
    }
    fs::path handOver(const Json& item, const std::string& fileName) {
        std::ofstream(launch.cacheDir / fileName) << fileName;
        delegate->runInstallers({{item, launch.cacheDir / fileName}});
        queue.runUntilIdle();
        return launch.cacheDir / fileName;
    }
    void installBundle(const std::string& name) {
        fs::create_directories(dir / "Applications" / name / "Contents");
        std::ofstream(dir / "Applications" / name / "Contents" / "Info.plist")
            << "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>2.0"
               "</string></dict></plist>\n";
    }
    std::vector<Json> results() {
        std::vector<Json> out;
        for (const auto& event : events())
            if (event["type"] == "result") out.push_back(event);
        return out;
    }
    void stop(std::size_t handler) { launcher.handlers.at(handler)->running = false; }
    AppDelegate& app() { return *delegate; }
};

TEST(HandOff, ReturnCheckSettlesEachEntryByItsProductAndItsOwnInstaller) {
    HandOffHarness h;
    const std::size_t before = h.events().size();
    h.app().applicationDidBecomeActive();  // nothing handed over: nothing happens
    EXPECT_EQ(h.events().size(), before);

    // A later hand-off of the same id replaces the earlier one, handler included.
    h.handOver(appItem("b", "B.app"), "b-1.pkg");
    auto installed = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto waiting = h.handOver(appItem("b", "B.app"), "b.pkg");
    auto unjudged = h.handOver({{"id", "c"}, {"group", "font"}, {"version", 7}}, "c.pkg");
    auto closed = h.handOver(appItem("d", "D.app"), "d.pkg");
    // Not an application, but with something to look for: its installer closing proves nothing.
    h.handOver({{"id", "e"},
                {"group", "addin"},
                {"version", "1.0"},
                {"detect", {{"receipts", {"com.brenlow.e"}}}}},
               "e.pkg");
    ASSERT_EQ(h.launcher.handlers.size(), 6u);
    EXPECT_EQ(h.app().handOff().at("b").file, waiting);
    EXPECT_EQ(h.launcher.opened.at(2), waiting.string());
    EXPECT_TRUE(h.results().empty());

    // a installed while its installer runs; d's installer closed without installing; the end of
    // b's first installer settles nothing.
    h.stop(0);
    h.installBundle("A.app");
    h.stop(4);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d")}));
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_TRUE(fs::exists(closed));
    h.app().applicationDidBecomeActive();  // nothing changed: nothing more is said
    EXPECT_EQ(h.results().size(), 2u);

    // Installers close: b and e are still not installed; c names nothing to look for, so the
    // end of its installer is all there is to go by.
    h.stop(2);
    h.stop(3);
    h.stop(5);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d"), failure("b"),
                                              success("c", 7), failure("e")}));
    EXPECT_TRUE(fs::exists(waiting));
    EXPECT_FALSE(fs::exists(unjudged));
    EXPECT_TRUE(h.app().handOff().empty());
}

// Nothing says an installer window opened unless one did.
TEST(HandOff, WithoutAHandlerThePackageFailsAtOnce) {
    HandOffHarness h;
    h.launcher.canOpen = false;
    auto file = h.handOver(appItem("a", "A.app"), "a.pkg");
    EXPECT_EQ(h.results(), std::vector<Json>{failure("a")});
    EXPECT_TRUE(h.app().handOff().empty());
    EXPECT_TRUE(fs::exists(file));
    for (const auto& event : h.events()) EXPECT_NE(event.value("phase", ""), "installer");
}

TEST(HandOff, SelfSuccessRelaunchesAndLeavesTheRestForLater) {
    HandOffHarness h;
    Json self = appItem("a-suite", "TALVEN Suite.app");
    self["self"] = true;
    h.handOver(self, "suite.pkg");
    h.handOver({{"id", "b"}}, "b.pkg");
    h.stop(0);
    h.stop(1);
    h.installBundle("TALVEN Suite.app");
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), std::vector<Json>{success("a-suite", "2.0")});

    // A return before the program has quit settles what was left.
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a-suite", "2.0"), success("b", "")}));
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
}

}  // namespace
}  // namespace suite
