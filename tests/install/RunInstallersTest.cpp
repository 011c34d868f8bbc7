#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/Settings.h"
#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;

// Keeps background jobs until the test runs them.
struct HeldBackground final : Background {
    void run(Task task) override { tasks.push_back(std::move(task)); }
    std::vector<Task> tasks;
};

struct RunHarness : AppHarness {
    AppDelegate& startHeld() {
        return startWith([](AppConfig&) {}, http, &held);
    }
    // A verified package file in the download folder.
    VerifiedPackage package(Json item, const std::string& fileName) {
        std::ofstream(launch.cacheDir / fileName) << "package " << fileName;
        return {std::move(item), launch.cacheDir / fileName};
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        std::ifstream in(launch.logDir / kInstallLogName);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    HeldBackground held;
};

void writeBundle(const fs::path& appDir, const std::string& name, const std::string& version) {
    fs::create_directories(appDir / name / "Contents");
    std::ofstream(appDir / name / "Contents" / "Info.plist")
        << "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>" << version
        << "</string></dict></plist>\n";
}

Json appItem(const std::string& id, const std::string& bundle) {
    return {{"id", id}, {"group", "app"}, {"version", "2.0"}, {"detect", {{"apps", {bundle}}}}};
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
    // Nothing to install asks for nothing, and sets no timer for an "install" phase.
    const auto pending = h.queue.pending();
    app.runInstallers({});
    app.runInstallers({h.package({{"id", "d"}}, "d.dmg")});
    EXPECT_EQ(h.queue.pending(), pending);
    app.runInstallers({h.package({{"id", "n"}}, "notes.zip"),
                       h.package(appItem("a", "A.app"), "a.pkg"), h.package({{"id", "b"}}, "B.PKG"),
                       h.package({{"id", "a"}}, "a.dmg"), h.package({{"group", "app"}}, "x.txt"),
                       h.package({{"id", "p"}}, "pkg")});

    // Failures in input order, then one "password" per package; none for the id a package carries.
    EXPECT_EQ(h.events(),
              (std::vector<Json>{
                  result("d", false, "error", "install"), result("n", false, "error", "install"),
                  result("", false, "error", "install"), result("p", false, "error", "install"),
                  progress("a", "password"), progress("b", "password")}));

    // One run for the batch, asked for in the interface language. (The packages carry no
    // digest, so the script only reports them as unchecked: what it does with checked ones is the
    // script run's and the update flows'.)
    h.queue.runUntilIdle();
    ASSERT_EQ(h.privileged.scripts.size(), 1u);
    EXPECT_EQ(h.privileged.prompts.at(0), installPrompt(true));
}

TEST(RunInstallersTiming, ADelegateGoneBeforeTheAnswerIsLeftAlone) {
    RunHarness h;
    auto& app = h.startHeld();
    h.privileged.outcome = {true, false, "OK:0\n", ""};
    auto a = h.package({{"id", "a"}}, "a.pkg");
    app.runInstallers({a});
    h.delegate.reset();
    h.held.tasks[0]();
    h.held.tasks.clear();
    h.queue.runUntilIdle();
    EXPECT_TRUE(fs::exists(a.file));
    EXPECT_FALSE(fs::exists(h.launch.logDir / kInstallLogName));
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
        C{"not started",
          {false, false, "", ""},
          {{"A.app", "2.1"}, {"B.app", "1.9"}},
          {ok, off, off}},
        C{"error number alone", {true, false, "", "-128"}, {}, {off, off, off}},
        C{"trimmed OK lines",
          {true, false, "noise\n  OK:2\t\r\nFAIL:0\n", ""},
          {{"A.app", "2.0"}, {"B.app", "3"}},
          {ok, ok, ok}},
        C{"installed check overrides OK and FAIL",
          {true, false, "OK:0\nFAIL:1\nFAIL:2\n", ""},
          {{"B.app", "2.0"}},
          {off, ok, off}},
        C{"other index", {true, false, "OK:20\nOK:", ""}, {}, {off, off, off}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        RunHarness h;
        for (const auto& [bundle, version] : test.bundles)
            writeBundle(h.dir / "Applications", bundle, version);
        auto& app = h.start();
        const int activations = h.shell.activations;
        h.privileged.outcome = test.outcome;
        auto a = h.package(appItem("a", "A.app"), "a.pkg");
        auto b = h.package(appItem("b", "B.app"), "b.pkg");
        auto c = h.package({{"id", "c"}, {"group", "font"}}, "c.pkg");
        app.runInstallers({a, b, c});
        h.queue.runUntilIdle();

        // How a package ended, judged by its events, its file and the hand-off table together.
        auto ends = [&](const VerifiedPackage& pkg, const Json& version) -> std::string {
            const std::string id = pkg.item["id"];
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

TEST(RunInstallersLog, InstallPhaseAfterFourTenthsThenOutcomeAndOutputsAreLogged) {
    RunHarness h;
    auto& app = h.startHeld();
    // As osascript hands it back: line feeds turned into carriage returns.
    h.privileged.outcome = {true, false,
                            "OUT:0:installer: done\rOUT:0:line two\rOK:0\rOUT:1:bad \xff\xfe\r"
                            "FAIL:1\r",
                            "it's \"odd\"\n\tnoise\x01"};
    app.runInstallers({h.package({{"id", "a"}}, "a.pkg"), h.package({{"id", "b"}}, "b.pkg"),
                       h.package({{"id", "c"}}, "c.pkg")});
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

    // After the time stamp: the results, then each package's output with its lines joined.
    auto lines = h.logLines();
    ASSERT_EQ(lines.size(), 2u);  // text that is not UTF-8 is left out
    EXPECT_EQ(lines[0].substr(21), "installer: out=\"OK:0\\nFAIL:1\\n\" err=" +
                                       quotedForLog(h.privileged.outcome.error));
    EXPECT_EQ(lines[1].substr(21), "package 0: installer: done | line two");
}

}  // namespace
}  // namespace suite
