// Updates an automatic check found, on the delegate with fake conditions: held back on a metered
// network and in power-saver mode, installed without a prompt only where polkit allows it, and
// never over an open product. (The updates that wait for the user's click are the flow's.)
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "platform/Files.h"

namespace suite {
namespace {

using fakes::FakeHttpClient;

// "one"'s SHA-256, from Python's hashlib.
constexpr const char* kOne = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";

Json item(const std::string& id, Json processes = Json::array()) {
    return {{"id", id},       {"url", "https://downloads.brenlow.example/" + id + ".pkg"},
            {"size", 1000},   {"file", id + ".pkg"},
            {"sha256", kOne}, {"processes", std::move(processes)}};
}

struct AutoUpdates : ::testing::Test {
    fakes::AppHarness h;
    void SetUp() override {
        saveSettings(h.settingsFile(), {{"autoInstall", true}, {"startLogin", true}});
        h.start();
    }
    void autoUpdate(std::vector<Json> items) {
        h.delegate->userContentController({{"type", "autoUpdate"}, {"items", std::move(items)}});
    }
    // Serves every download asked for so far, and what follows from it.
    void serveAll() {
        for (std::size_t n = 0; n < h.http.calls.size(); ++n) {
            if (h.http.calls[n]->answered) continue;
            h.http.stream(n, "one", FakeHttpClient::reply(200, ""));
            h.queue.runUntilIdle();
        }
    }
    // The automatic update's states the page was told of, in order.
    std::vector<std::string> told() {
        std::vector<std::string> out;
        for (auto& e : h.events())
            if (e["type"] == "autoUpdate")
                out.push_back(e["state"].get<std::string>() + " " +
                              (e.contains("reason") ? e["reason"].dump() : e["ids"].dump()));
        return out;
    }
    std::string log() { return readWholeFile(h.launch.logDir / kInstallLogName).value_or(""); }
};

TEST_F(AutoUpdates, AMeteredNetworkPowerSavingAndTheSettingOffDownloadNothing) {
    h.conditions.metered = true;
    autoUpdate({item("a")});
    h.conditions.metered = false;
    h.conditions.saver = true;
    autoUpdate({item("a")});
    EXPECT_EQ(told(), (std::vector<std::string>{"waiting \"metered\"", "waiting \"powerSaver\""}));
    // The page asks, but the user's setting says no.
    h.conditions.saver = false;
    h.delegate->saveSettings({{"autoInstall", false}});
    autoUpdate({item("a")});
    EXPECT_TRUE(h.http.calls.empty());
    EXPECT_NE(log().find("automatic update: refused, the setting is off"), std::string::npos);
}

TEST_F(AutoUpdates, WherePolkitAllowsTheyInstallAtOnceExceptAnOpenProduct) {
    h.conditions.withoutPassword = true;
    h.running.open = {"/opt/talven/presenter/main"};
    autoUpdate({item("presenter", {"/opt/talven/presenter/main"}), item("a")});
    serveAll();
    EXPECT_EQ(h.http.calls.size(), 1u) << "nothing is downloaded for the open product";
    EXPECT_EQ(told(), std::vector<std::string>{"installing [\"a\"]"});
    EXPECT_EQ(h.privileged.scripts.size(), 1u);
    EXPECT_NE(log().find("presenter is left while /opt/talven/presenter/main runs"),
              std::string::npos);
}

// The program's own update goes in last and starts the new version only once nobody looks.
TEST_F(AutoUpdates, TheProgramsOwnUpdateGoesLastAndRelaunchesOnlyOnceTheWindowIsHidden) {
    h.conditions.withoutPassword = true;
    h.privileged.outcome = {true, false, "OK:0\nOK:1\n", ""};
    h.window().visible = true;
    Json self = item("suite");
    self["self"] = true;
    autoUpdate({self, item("a")});
    serveAll();
    EXPECT_EQ(told(), std::vector<std::string>{"installing [\"a\",\"suite\"]"});
    h.queue.advance(5);
    EXPECT_EQ(h.shell.terminations, 0) << "the window is on screen";
    h.window().visible = false;
    h.delegate->windowDidClose();
    h.queue.advance(1.2);
    EXPECT_EQ(h.shell.terminations, 1);
}

}  // namespace
}  // namespace suite
