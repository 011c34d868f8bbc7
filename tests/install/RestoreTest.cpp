// Going back, on the delegate with a fake package system: the package an update replaced goes to
// the host's restore with the document that vouched for it, the history says "restored", and
// automatic installs leave the version gone back from alone; with nothing kept nothing runs.
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "fakes/AppHarness.h"
#include "fakes/FakePackageSystem.h"
#include "install/History.h"
#include "install/KeptPackages.h"
#include "platform/Files.h"

namespace suite {
namespace {

struct Restores : ::testing::Test {
    fakes::AppHarness h;
    fakes::FakePackageSystem packages;
    void SetUp() override {
        saveSettings(h.settingsFile(), {{"autoInstall", true}});
        h.startWith([](AppConfig&) {}, h.http, nullptr, &packages);
    }
    // Versions 1.0 and then 2.0 of `id` went in through the program; the scan shows 2.0.
    void updated(const std::string& id) {
        KeptPackages kept(h.launch.logDir / "kept-packages");
        for (const char* version : {"1.0", "2.0"}) {
            writeFileAtomically(h.dir / "catalog.json", version);
            writeFileAtomically(h.dir / "download.deb", version);
            kept.keep({.id = id, .file = id + "_" + version + ".deb", .version = version},
                      h.dir / "download.deb", h.dir / "catalog.json", h.dir / "catalog.json");
        }
        packages.installed[id] = "2.0";
        ask({{"type", "scan"}, {"apps", {{{"id", id}, {"detect", {{"receipts", {id}}}}}}}});
    }
    // The last event the page heard after `action`.
    Json ask(const Json& action) {
        h.delegate->userContentController(action);
        h.queue.runUntilIdle();
        return h.events().back();
    }
    std::vector<HistoryEntry> history() { return HistoryFile(h.launch.logDir).newestFirst(); }
};

TEST_F(Restores, ThePreviousPackageGoesBackAndTheVersionLeftIsNotInstalledAgainByItself) {
    updated("poll");
    // Nothing kept for it, or no plain id: nothing runs, and the history has nothing to tell.
    EXPECT_EQ(ask({{"type", "restore"}, {"id", "../poll"}})["error"], "install");
    EXPECT_EQ(ask({{"type", "restore"}, {"id", "charts"}})["error"], "install");
    EXPECT_EQ(ask({{"type", "history"}})["restorable"], Json({{"poll", "1.0"}}));
    EXPECT_EQ(ask({{"type", "restore"}, {"id", "poll"}}),
              Json({{"type", "result"}, {"id", "poll"}, {"ok", true}, {"version", "1.0"}}));
    EXPECT_EQ(packages.restored, std::vector<std::string>{"poll_1.0.deb 1.0"})
        << "the kept package with the catalog that vouched for it";
    ASSERT_EQ(history().size(), 1u);
    EXPECT_EQ(history()[0].result + " " + history()[0].from + " " + history()[0].to,
              "restored 2.0 1.0");
    EXPECT_EQ(ask({{"type", "history"}})["restorable"], Json::object());
    EXPECT_FALSE(KeptPackages(h.launch.logDir / "kept-packages").previous("poll"))
        << "1.0 is the installed package now, which the next update keeps as the previous one";
    // The next automatic check offers 2.0 again: it waits for the user, or for a newer one.
    h.conditions.withoutPassword = true;
    const Json offer = {{"id", "poll"},     {"url", "https://downloads.brenlow.example/p.deb"},
                        {"size", 1},        {"file", "p.deb"},
                        {"version", "2.0"}, {"sha256", std::string(64, 'a')}};
    ask({{"type", "autoUpdate"}, {"items", Json::array({offer})}});
    EXPECT_TRUE(h.http.calls.empty());
}

}  // namespace
}  // namespace suite
