#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "catalog/Scan.h"
#include "fakes/AppHarness.h"
#include "platform/macos/MacPackageSystem.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void writeBundle(const fs::path& folder, const std::string& name, const char* version) {
    fs::create_directories(folder / name / "Contents");
    std::ofstream(folder / name / "Contents" / "Info.plist")
        << "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>" << version
        << "</string></dict></plist>";
}

Json appItem(const std::string& id, const std::string& bundle, Json version = "3.2") {
    return {{"id", id}, {"group", "app"}, {"version", version}, {"detect", {{"apps", {bundle}}}}};
}

class ScanTest : public ::testing::Test {
  protected:
    ScanTest() {
        paths.appDirs = {apps.string()};
        paths.pkgutil = (dir / "no-pkgutil").string();
        writeBundle(apps, "Current.app", "3.2");
        writeBundle(apps, "Older.app", "3.1.9");
        writeBundle(apps, "Newer.app", "3.10");
    }

    // The macOS rules: application bundles in the application folders, numeric version order.
    MacPackageSystem& mac() {
        if (!mac_) mac_ = std::make_unique<MacPackageSystem>(paths, InstallPaths{}, runner_);
        return *mac_;
    }

    fakes::TempDir dir;
    fs::path apps = dir / "Applications";
    DetectPaths paths;

  private:
    fakes::FakePrivilegedRunner runner_;
    std::unique_ptr<MacPackageSystem> mac_;
};

TEST_F(ScanTest, ReportsTheInstalledVersionOfEachItemWithAnId) {
    std::vector<Json> items = {
        appItem("current", "Current.app"),
        appItem("missing", "Missing.app"),
        {{"detect", {{"apps", {"Older.app"}}}}},              // no id
        {{"id", 42}, {"detect", {{"apps", {"Older.app"}}}}},  // id not a string
        "not an item",
        {{"id", "odd-detect"}, {"detect", {"Current.app"}}},  // detect not an object
        {{"id", "addin"}, {"group", 5}, {"detect", {{"apps", {"Newer.app"}}}}},
        appItem("same", "Older.app"),
        appItem("same", "Current.app"),  // a later answer replaces an earlier one...
        appItem("kept", "Current.app"),
        appItem("kept", "Missing.app"),  // ...but no answer leaves it alone
    };
    EXPECT_EQ(scannedEvent(items, mac()),
              Json({{"type", "scanned"},
                    {"installed",
                     {{"current", "3.2"}, {"addin", "3.10"}, {"same", "3.2"}, {"kept", "3.2"}}}}));
    EXPECT_EQ(scannedEvent({}, mac()).dump(), R"({"installed":{},"type":"scanned"})");
}

// The delegate's installed check, on the macOS rules: applications only.
TEST_F(ScanTest, InstalledCheckComparesWithTheCatalogVersion) {
    struct Case {
        Json item;
        std::optional<bool> expected;
    };
    std::vector<Case> cases = {
        {appItem("a", "Current.app", "3.2"), true},
        {appItem("a", "Older.app", "3.2"), false},
        {appItem("a", "Newer.app", "3.9"), true},  // 3.10 is newer than 3.9
        {appItem("a", "Current.app", "3.2.0"), false},
        {appItem("a", "Missing.app", "3.2"), false},
        {appItem("a", "Current.app", ""), std::nullopt},
        {appItem("a", "Current.app", 3.2), std::nullopt},
        {{{"group", "app"}, {"version", "1.0"}}, false},  // nothing to detect with
        {{{"group", "addin"}, {"version", "1.0"}, {"detect", {{"apps", {"Current.app"}}}}},
         std::nullopt},
        {{{"group", "App"}, {"version", "1.0"}, {"detect", {{"apps", {"Current.app"}}}}},
         std::nullopt},
    };
    fakes::AppHarness h;
    h.detectPaths = paths;
    auto& app = h.start();
    for (const auto& c : cases) EXPECT_EQ(app.isInstalled(c.item), c.expected) << c.item;
}

// Through the delegate: the scan runs in the background and answers on the main queue.
TEST_F(ScanTest, DelegateAnswersOnTheMainQueueEvenFromAnotherThread) {
    fakes::AppHarness h;
    ThreadBackground threads;
    h.detectPaths = paths;
    auto& app = h.startWith([](AppConfig&) {}, h.http, &threads);
    auto postedInTime = [&] {
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (h.queue.pending() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        return h.queue.pending() == 1;
    };

    app.scan({appItem("older", "Older.app")});
    ASSERT_TRUE(postedInTime());
    EXPECT_TRUE(h.events().empty());  // nothing is sent off the main queue
    h.queue.runReady();
    EXPECT_EQ(h.events(),
              std::vector<Json>{Json({{"type", "scanned"}, {"installed", {{"older", "3.1.9"}}}})});

    // A delegate gone before its scan ends is not touched.
    app.scan({appItem("newer", "Newer.app")});
    h.delegate.reset();
    ASSERT_TRUE(postedInTime());
    EXPECT_EQ(h.queue.runReady(), 1u);
}

}  // namespace
}  // namespace suite
