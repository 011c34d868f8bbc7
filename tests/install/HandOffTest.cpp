#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"
#include "fakes/TestFiles.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

// Downloadable as `file` too, for the tests that install it from the start.
Json appItem(const std::string& id, const std::string& bundle, const std::string& file = "x.pkg") {
    return {{"id", id},         {"group", "app"},
            {"version", "2.0"}, {"detect", {{"apps", {bundle}}}},
            {"file", file},     {"url", "https://downloads.brenlow.example/" + file},
            {"size", 4}};
}
// `item` with the digest of `body`, the bytes its download will bring.
Json serving(Json item, const std::string& body) {
    item["sha256"] = fakes::digestOf(body);
    return item;
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
        delegate->runInstallers({package(item, fileName)});
        queue.runUntilIdle();
        return launch.cacheDir / fileName;
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
    auto installed = h.handOver(appItem("a", "A.app"), "a.pkg");
    auto waiting = h.handOver(appItem("b", "B.app"), "b.pkg");
    auto unjudged = h.handOver({{"id", "c"}, {"group", "font"}, {"version", 7}}, "c.pkg");
    auto closed = h.handOver(appItem("d", "D.app"), "d.pkg");
    ASSERT_EQ(h.launcher.handlers.size(), 4u);
    EXPECT_EQ(h.launcher.opened.at(1), waiting.string());
    EXPECT_TRUE(h.results().empty());

    // a installed while its installer still runs; d's installer closed without installing.
    h.installBundle("A.app");
    h.stop(3);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d")}));
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_TRUE(fs::exists(closed));

    // b's installer closes with b still not installed; c names nothing to look for, so the end
    // of its installer is all there is to go by.
    h.stop(1);
    h.stop(2);
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("d"), failure("b"),
                                              success("c", 7)}));
    EXPECT_TRUE(fs::exists(waiting));
    EXPECT_FALSE(fs::exists(unjudged));
    EXPECT_TRUE(h.app().handOff().empty());
}

// An installer may read its file by name until it closes, and products may name one file: no
// download replaces a file that an open installer or its own batch holds (the folder, gone
// meanwhile, is made again), and each package is handed over under its own name.
TEST(HandOff, DownloadsNeverReplaceAFileAnInstallerOrTheirBatchHolds) {
    HandOffHarness h;
    fs::remove_all(h.launch.cacheDir);
    auto serve = [&](const std::string& body) {
        h.http.stream(h.http.calls.size() - 1, body, fakes::FakeHttpClient::reply(200, ""));
        h.queue.runUntilIdle();
    };
    h.app().install({serving(appItem("a", "A.app"), "held")});
    serve("held");
    // "a" again, while the installer it went to before still holds its first file.
    h.app().install({serving(appItem("a", "A.app"), "a"), serving(appItem("c", "C.app"), "c")});
    for (const char* body : {"a", "c"}) serve(body);
    h.app().install({serving(appItem("d", "D.app"), "d")});
    serve("d");
    const auto in = [&](const char* name) { return (h.launch.cacheDir / name).string(); };
    EXPECT_EQ(h.launcher.opened,
              (std::vector<std::string>{in("x.pkg"), in("x-2.pkg"), in("x-3.pkg"), in("x-4.pkg")}));
    EXPECT_EQ(readWholeFile(in("x.pkg")), "held");
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

}  // namespace
}  // namespace suite
