#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/InterfaceText.h"
#include "app/Settings.h"
#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;

struct RunHarness : AppHarness {
    AppDelegate& startHeld() {
        return startWith([](AppConfig&) {}, http, &held);
    }
    HeldBackground held;
};

InstallItem appItem(const std::string& id, const std::string& bundle) {
    return {.id = id, .group = "app", .version = "2.0", .detect = {{"apps", {bundle}}}};
}

Json result(const std::string& id, bool ok, const char* key, const Json& value) {
    return {{"type", "result"}, {"id", id}, {"ok", ok}, {key, value}};
}

Json progress(const std::string& id, const std::string& phase) {
    return {{"type", "progress"}, {"id", id}, {"phase", phase}, {"pct", 100}};
}

TEST(RunInstallersSelection, OnlyPackagesRunAndTheRestFailFirst) {
    RunHarness h;
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.start();
    app.runInstallers({h.package({.id = "n"}, "notes.zip"),
                       h.package(appItem("a", "A.app"), "a.pkg"), h.package({.id = "b"}, "B.PKG"),
                       h.package({.id = "a"}, "a.dmg")});

    // Failures first, then one "password" per package; none for the id a package carries.
    EXPECT_EQ(h.events(),
              (std::vector<Json>{result("n", false, "error", "install"), progress("a", "password"),
                                 progress("b", "password")}));

    // One run for the batch, asked for in the interface language. (The packages carry no
    // digest, so the script only reports them as unchecked: what it does with checked ones is the
    // script run's and the update flows'.)
    h.queue.runUntilIdle();
    ASSERT_EQ(h.privileged.scripts.size(), 1u);
    EXPECT_EQ(h.privileged.prompts.at(0), std::string(interfaceText(true).installPrompt));
}

// A.app and B.app at catalog version 2.0 can be judged installed; "c" only by the "OK:" lines.
// Without a held background the run answers before 0.4 s, so no "install" phase may show.
struct ResultCase {
    const char* name;
    PrivilegedOutcome outcome;
    std::vector<std::pair<std::string, std::string>> bundles;  // installed bundle, version
    std::vector<std::string> ends;                             // of a, b, c
};

TEST(RunInstallersResults, EachPackageEndsAsTheOutcomeAndInstalledCheckSay) {
    const std::string ok = "ok", cancelled = "cancelled", off = "handed off";
    using C = ResultCase;
    const std::vector<ResultCase> cases = {
        C{"cancel, but installed still succeeds",
          {true, true, "", "Request dismissed"},
          {{"A.app", "2.0"}},
          {ok, cancelled, cancelled}},
        C{"trimmed OK lines",
          {true, false, "noise\n  OK:2\t\r\nFAIL:0\n", ""},
          {{"A.app", "2.0"}, {"B.app", "3"}},
          {ok, ok, ok}},
        C{"installed check overrides OK and FAIL",
          {true, false, "OK:0\nFAIL:1\nFAIL:2\n", ""},
          {{"B.app", "2.0"}},
          {off, ok, off}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        RunHarness h;
        for (const auto& [bundle, version] : test.bundles) h.installBundle(bundle, version);
        auto& app = h.start();
        const int activations = h.shell.activations;
        h.privileged.outcome = test.outcome;
        auto a = h.package(appItem("a", "A.app"), "a.pkg");
        auto b = h.package(appItem("b", "B.app"), "b.pkg");
        auto c = h.package({.id = "c", .group = "font"}, "c.pkg");
        app.runInstallers({a, b, c});
        h.queue.runUntilIdle(60);  // not to the end of the wait for a package handed off

        // How a package ended, judged by its events, its file and the hand-off table together.
        auto ends = [&](const VerifiedPackage& pkg, const Json& version) -> std::string {
            const std::string id = pkg.item.id;
            std::vector<Json> mine;
            for (const auto& event : h.events())
                if (event.value("id", "") == id) mine.push_back(event);
            const bool kept = fs::exists(pkg.file), listed = app.handOff().count(id) == 1;
            const Json password = progress(id, "password");
            if (mine == std::vector<Json>{password, result(id, true, "version", version)} &&
                !kept && !listed)
                return ok;
            if (mine == std::vector<Json>{password, result(id, false, "error", "cancelled")} &&
                kept && !listed)
                return cancelled;
            if (mine == std::vector<Json>{password, progress(id, "installer")} && kept && listed &&
                app.handOff().at(id).file == pkg.file)
                return off;
            return "unexpected: " + Json(mine).dump();
        };
        EXPECT_EQ((std::vector<std::string>{ends(a, "2.0"), ends(b, "2.0"), ends(c, "")}),
                  test.ends);
        const auto handedOff = std::size_t(std::count(test.ends.begin(), test.ends.end(), off));
        EXPECT_EQ(app.handOff().size(), handedOff);
        EXPECT_EQ(h.launcher.opened.size(), handedOff);
        // Comes forward only when no installer window should stay in front.
        EXPECT_EQ(h.shell.activations, activations + (handedOff == 0 ? 1 : 0));
    }
}

TEST(RunInstallersLog, InstallPhaseAfterFourTenthsThenTheOutcomeIsLogged) {
    RunHarness h;
    auto& app = h.startHeld();
    // As osascript hands it back: line feeds turned into carriage returns.
    h.privileged.outcome = {true, false, "OK:0\rFAIL:1\r", "it's \"odd\"\n\tnoise\x01"};
    app.runInstallers({h.package({.id = "a"}, "a.pkg"), h.package({.id = "b"}, "b.pkg"),
                       h.package({.id = "c"}, "c.pkg")});
    ASSERT_EQ(h.held.tasks.size(), 1u);  // the run itself is off the main thread
    h.queue.advance(0.39);
    EXPECT_EQ(h.events().size(), 3u);
    EXPECT_DOUBLE_EQ(h.queue.runUntilIdle(), 0.4);
    h.held.tasks[0]();
    h.queue.runReady();
    auto events = h.events();
    ASSERT_GT(events.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(events[i],
                  progress(std::string(1, "abc"[i % 3]), i < 3 ? "password" : "install"));

    // After the time stamp: the results; each package's own lines are the Debian backend's test's.
    auto log = readWholeFile(h.launch.logDir / kInstallLogName).value_or("");
    EXPECT_NE(log.find("installer: out=\"OK:0\\nFAIL:1\\n\" err=" +
                       quotedForLog(h.privileged.outcome.error)),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace suite
