#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"
#include "fakes/FakePackageSystem.h"
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
InstallItem appPackage(const std::string& id, const std::string& bundle) {
    return {.id = id, .group = "app", .version = "2.0", .detect = {{"apps", {bundle}}}};
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

// Privileged runs never start here, so every package not installed is handed over; the
// installers are single-instance ones, whose process ends as soon as it has passed the file on.
struct HandOffHarness : fakes::AppHarness {
    explicit HandOffHarness(PackageSystem* packages = nullptr) {
        startWith([](AppConfig&) {}, http, &held, packages);
        privileged.outcome = {false, false, "", ""};
    }
    fs::path handOver(const InstallItem& item, const std::string& fileName) {
        const std::size_t before = launcher.handlers.size();
        delegate->runInstallers({package(item, fileName)});
        held.runFirst(queue);
        if (launcher.handlers.size() > before) launcher.handlers.back()->running = false;
        return launch.cacheDir / fileName;
    }
    std::vector<Json> results() {
        std::vector<Json> out;
        for (const auto& event : events())
            if (event["type"] == "result") out.push_back(event);
        return out;
    }
    AppDelegate& app() { return *delegate; }
    fakes::HeldBackground held;
};

InstallItem debItem(const std::string& id) {
    return {.id = id, .version = "2.0", .detect = {{"receipts", {id}}}};
}

// Where the host watches its package database, only its changes lead to a look, one for all the
// waiting packages, off the main thread, once the writes of an install have settled. An item is
// in when a look finds its catalog version, however early its installer's process ended; one
// that never shows fails when the user stops waiting, or after the limit.
TEST(HandOff, AWatchedDatabaseSettlesAnItemWhenItsVersionShowsOrTheWaitIsStopped) {
    fakes::FakePackageSystem packages;
    HandOffHarness h(&packages);
    auto file = h.handOver(debItem("a"), "a.deb");
    auto stopped = h.handOver(debItem("b"), "b.deb");
    h.handOver(debItem("c"), "c.deb");
    h.app().applicationDidBecomeActive();
    h.queue.advance(10);
    EXPECT_TRUE(h.results().empty());
    EXPECT_TRUE(h.held.tasks.empty()) << "coming back reads nothing while the database is watched";
    EXPECT_EQ(h.fileWatcher.watched, packages.kDatabase);

    packages.installed = {{"a", "1.0"}};
    for (int write = 0; write < 3; ++write) {
        EXPECT_TRUE(h.fileWatcher.change());
        h.queue.advance(0.3);
    }
    EXPECT_TRUE(h.held.tasks.empty());
    h.queue.advance(0.3);
    ASSERT_TRUE(h.held.runFirst(h.queue));
    EXPECT_TRUE(h.results().empty()) << "an older version is not the one installed";
    packages.installed = {{"a", "2.0"}};
    h.fileWatcher.change();
    h.queue.advance(1);
    // A look begun before "a" was handed off again was not for that hand-off: only the next is.
    ASSERT_EQ(h.held.tasks.size(), 1u);
    Task stale = std::move(h.held.tasks.front());
    h.held.tasks.clear();
    file = h.handOver(debItem("a"), "a.deb");
    stale();
    h.queue.runReady();
    EXPECT_TRUE(h.results().empty());
    h.fileWatcher.change();
    h.queue.advance(1);
    ASSERT_TRUE(h.held.runFirst(h.queue));
    h.app().userContentController({{"type", "stopWaiting"}, {"id", "b"}});
    EXPECT_EQ(h.results(), (std::vector<Json>{success("a", "2.0"), failure("b")}));
    EXPECT_EQ(packages.looks, 3);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(fs::exists(stopped)) << "kept for a retry";

    h.queue.advance(InstallFlow::kHandOffLimitSeconds - 14);
    EXPECT_EQ(h.results().size(), 2u);
    h.queue.advance(1);
    EXPECT_EQ(h.results().back(), failure("c"));
    EXPECT_FALSE(h.fileWatcher.change()) << "nothing waits: no watch";
}

// Without a watched database, coming back looks for every package handed off, off the main
// thread; a package the host cannot look for is settled by the end of its own installer.
TEST(HandOff, ComingBackLooksForPackagesAndSettlesTheUndetectableByTheirInstaller) {
    HandOffHarness h;
    auto installed = h.handOver(appPackage("a", "A.app"), "a.pkg");
    h.handOver(appPackage("b", "B.app"), "b.pkg");
    auto unjudged = h.handOver({.id = "c", .group = "font", .version = "7"}, "c.pkg");
    h.launcher.handlers.at(0)->running = true;
    EXPECT_EQ(h.launcher.opened.at(1), (h.launch.cacheDir / "b.pkg").string());

    h.installBundle("A.app");
    h.app().applicationDidBecomeActive();
    EXPECT_EQ(h.results(), std::vector<Json>{success("c", "7")});
    EXPECT_FALSE(fs::exists(unjudged));
    ASSERT_TRUE(h.held.runFirst(h.queue));
    EXPECT_EQ(h.results(), (std::vector<Json>{success("c", "7"), success("a", "2.0")}));
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_EQ(h.app().handOff().size(), 1u) << "b's installer ended, but b may still come";
}

// An installer may read its file by name until it closes, and products may name one file: no
// download replaces a file that an open installer or its own batch holds (the folder, gone
// meanwhile, is made again), and each package is handed over under its own name.
TEST(HandOff, DownloadsNeverReplaceAFileAnInstallerOrTheirBatchHolds) {
    HandOffHarness h;
    fs::remove_all(h.launch.cacheDir);
    auto serve = [&](const std::string& body) {
        h.http.stream(h.http.calls.size() - 1, body, fakes::FakeHttpClient::reply(200, ""));
        h.queue.runUntilIdle(60);
        while (h.held.runFirst(h.queue)) h.queue.runUntilIdle(60);
    };
    h.install({serving(appItem("a", "A.app"), "held")});
    serve("held");
    // "a" again, while the installer it went to before still holds its first file.
    h.install({serving(appItem("a", "A.app"), "a"), serving(appItem("c", "C.app"), "c")});
    for (const char* body : {"a", "c"}) serve(body);
    h.install({serving(appItem("d", "D.app"), "d")});
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
    auto file = h.handOver(appPackage("a", "A.app"), "a.pkg");
    EXPECT_EQ(h.results(), std::vector<Json>{failure("a")});
    EXPECT_TRUE(h.app().handOff().empty());
    EXPECT_TRUE(fs::exists(file));
    for (const auto& event : h.events()) EXPECT_NE(event.value("phase", ""), "installer");
}

}  // namespace
}  // namespace suite
