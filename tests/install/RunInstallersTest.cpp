#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>

#include "app/Settings.h"
#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"
#include "install/InstallScript.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;

// Points the system temp folder somewhere the test can watch, for as long as it lives.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const fs::path& folder) {
        if (const char* old = std::getenv("TMPDIR")) old_ = old;
        fs::create_directories(folder);
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TempFolderOverride() {
        if (old_) {
            ::setenv("TMPDIR", old_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    TempFolderOverride(const TempFolderOverride&) = delete;
    TempFolderOverride& operator=(const TempFolderOverride&) = delete;

private:
    std::optional<std::string> old_;
};

// Keeps background jobs until the test runs them: the run's middle, where it waits for the user.
class HeldBackground final : public Background {
public:
    void run(Task task) override { tasks.push_back(std::move(task)); }
    std::vector<Task> tasks;
};

std::vector<fs::path> entriesOf(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(folder)) out.push_back(entry.path());
    return out;
}

void writeBundle(const fs::path& appDir, const std::string& name, const std::string& version) {
    fs::create_directories(appDir / name / "Contents");
    std::ofstream(appDir / name / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>"
        << version << "</string></dict></plist>\n";
}

// A verified package file in the download folder.
VerifiedPackage package(AppHarness& h, Json item, const std::string& fileName) {
    fs::path file = h.launch.cacheDir / fileName;
    std::ofstream(file) << "package " << fileName;
    return {std::move(item), file};
}

Json appItem(const std::string& id, const std::string& bundle) {
    return {{"id", id}, {"group", "app"}, {"version", "2.0"}, {"detect", {{"apps", {bundle}}}}};
}

std::vector<Json> ofType(const std::vector<Json>& events, const std::string& type) {
    std::vector<Json> out;
    for (const auto& event : events) {
        if (event.value("type", "") == type) out.push_back(event);
    }
    return out;
}

std::vector<std::string> logLines(AppHarness& h) {
    std::vector<std::string> lines;
    std::ifstream in(h.launch.logDir / kInstallLogName);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(RunInstallersSelection, OnlyPackagesRunAndTheRestFailFirst) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    h.env.values["HOME"] = "/home/tester";
    saveSettings(h.settingsFile(), {{"lang", "ar"}});
    auto& app = h.startWith([](AppConfig& config) { config.installPaths.home.clear(); }, h.http);

    auto zip = package(h, {{"id", "n"}}, "notes.zip");
    auto a = package(h, appItem("a", "A.app"), "a.pkg");
    auto b = package(h, {{"id", "b"}}, "B.PKG");
    auto sameIdAsPackage = package(h, {{"id", "a"}}, "a.dmg");
    auto noId = package(h, {{"group", "app"}}, "x.txt");
    auto noExtension = package(h, {{"id", "p"}}, "pkg");
    const std::time_t before = std::time(nullptr);
    app.runInstallers({zip, a, b, sameIdAsPackage, noId, noExtension});
    const std::time_t after = std::time(nullptr);

    // Failures in input order, then one "password" per package; nothing for the pair whose id a
    // package carries.
    auto events = h.events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0],
              Json({{"type", "result"}, {"id", "n"}, {"ok", false}, {"error", "install"}}));
    EXPECT_EQ(events[1],
              Json({{"type", "result"}, {"id", ""}, {"ok", false}, {"error", "install"}}));
    EXPECT_EQ(events[2]["id"], "p");
    EXPECT_EQ(events[3],
              Json({{"type", "progress"}, {"id", "a"}, {"phase", "password"}, {"pct", 100}}));
    EXPECT_TRUE(events[3]["pct"].is_number_integer());
    EXPECT_EQ(events[4]["id"], "b");
    EXPECT_EQ(events[4]["phase"], "password");

    // The script holds the two packages at indexes 0 and 1, the detection folders and $HOME.
    ASSERT_EQ(h.privileged.scripts.size(), 1u);
    EXPECT_EQ(h.privileged.prompts.at(0), installPrompt(true));
    auto folders = entriesOf(h.dir / "systmp");
    ASSERT_EQ(folders.size(), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(folders[0].c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    InstallPaths paths;
    paths.tempFolder = (h.dir / "tmp").string();
    paths.appDirs = {(h.dir / "Applications").string()};
    paths.home = "/home/tester";
    const std::string& script = h.privileged.scripts[0];
    EXPECT_TRUE(script == buildInstallScript({a, b}, paths, folders[0], installTimeStamp(before)) ||
                script == buildInstallScript({a, b}, paths, folders[0], installTimeStamp(after)))
        << script;
    EXPECT_NE(script.find(packageOutputPath(folders[0], 1)), std::string::npos);
    EXPECT_EQ(script.find(packageOutputPath(folders[0], 2)), std::string::npos);

    h.queue.runUntilIdle();
    EXPECT_TRUE(entriesOf(h.dir / "systmp").empty());
}

TEST(RunInstallersSelection, NothingToInstallAsksForNothing) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    auto& app = h.start();
    const auto before = h.events().size();
    const auto pending = h.queue.pending();
    app.runInstallers({});
    EXPECT_EQ(h.events().size(), before);
    EXPECT_EQ(h.queue.pending(), pending);

    app.runInstallers({package(h, {{"id", "z"}}, "z.zip"), package(h, {{"id", "d"}}, "d.dmg")});
    auto events = h.events();
    ASSERT_EQ(events.size(), before + 2);
    EXPECT_EQ(events[before]["error"], "install");
    EXPECT_EQ(events[before + 1]["id"], "d");
    EXPECT_TRUE(h.privileged.scripts.empty());
    EXPECT_EQ(h.queue.pending(), pending);
    EXPECT_TRUE(entriesOf(h.dir / "systmp").empty());
}

TEST(RunInstallersSelection, WithoutAPrivateOutputFolderNothingRunsAsRoot) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    ::setenv("TMPDIR", (h.dir / "missing").c_str(), 1);
    auto& app = h.start();
    auto a = package(h, {{"id", "a"}}, "a.pkg");
    app.runInstallers({a});
    h.queue.runUntilIdle();
    EXPECT_TRUE(h.privileged.scripts.empty());
    // Reported as a run that could not start: the package goes to the desktop's installer.
    EXPECT_EQ(app.handOff().count("a"), 1u);
    auto lines = logLines(h);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("installer: out=\"\" err=\"no temporary folder"), std::string::npos)
        << lines[0];
}

TEST(RunInstallersTiming, InstallPhaseFollowsTheStartByExactlyFourTenths) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    HeldBackground held;
    auto& app = h.startWith([](AppConfig&) {}, h.http, &held);
    h.privileged.outcome = {true, false, "OK:0\nOK:1\n", ""};
    app.runInstallers({package(h, {{"id", "a"}}, "a.pkg"), package(h, {{"id", "b"}}, "b.pkg")});

    ASSERT_EQ(held.tasks.size(), 1u);
    EXPECT_TRUE(h.privileged.scripts.empty());  // the run itself is off the main thread
    EXPECT_DOUBLE_EQ(h.queue.nextDueTime().value(), 0.4);
    h.queue.advance(0.39);
    EXPECT_TRUE(ofType(h.events(), "result").empty());
    EXPECT_EQ(h.events().size(), 2u);
    EXPECT_DOUBLE_EQ(h.queue.runUntilIdle(), 0.4);

    held.tasks[0]();
    h.queue.runReady();
    std::vector<std::pair<std::string, std::string>> seen;
    for (const auto& event : h.events()) {
        seen.emplace_back(event["id"], event.contains("phase") ? event["phase"] : Json("result"));
    }
    using Seen = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(seen, (Seen{{"a", "password"},
                          {"b", "password"},
                          {"a", "install"},
                          {"b", "install"},
                          {"a", "result"},
                          {"b", "result"}}));
}

TEST(RunInstallersTiming, NoInstallPhaseAfterTheResults) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    auto& app = h.start();
    h.privileged.outcome = {false, false, "", ""};  // ends before the 0.4 s are up
    app.runInstallers({package(h, {{"id", "a"}}, "a.pkg")});
    h.queue.runUntilIdle();
    auto events = h.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(),
              Json({{"type", "progress"}, {"id", "a"}, {"phase", "installer"}, {"pct", 100}}));
    EXPECT_EQ(ofType(events, "progress").size(), 2u);  // "password", then "installer"
}

TEST(RunInstallersTiming, ADelegateGoneBeforeTheAnswerIsLeftAloneAndTheFolderStillGoes) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    HeldBackground held;
    auto& app = h.startWith([](AppConfig&) {}, h.http, &held);
    h.privileged.outcome = {true, false, "OK:0\n", ""};
    auto a = package(h, {{"id", "a"}}, "a.pkg");
    app.runInstallers({a});
    h.delegate.reset();
    held.tasks[0]();
    held.tasks.clear();
    h.queue.runUntilIdle();
    EXPECT_TRUE(fs::exists(a.file));  // nobody handled the result
    EXPECT_FALSE(fs::exists(h.launch.logDir / kInstallLogName));
    EXPECT_TRUE(entriesOf(h.dir / "systmp").empty());
}

// Three packages: two applications the installed check can judge (A.app, B.app at catalog
// version 2.0) and one it cannot ("c", known only from the script's "OK:" lines).
enum class Ends { Ok, Cancelled, HandedOff };

struct ResultCase {
    const char* name;
    PrivilegedOutcome outcome;
    std::vector<std::pair<std::string, std::string>> bundles;  // installed bundle, version
    Ends a, b, c;
};

TEST(RunInstallersResults, EachPackageEndsAsTheOutcomeAndInstalledCheckSay) {
    const std::vector<ResultCase> cases = {
        {"cancel keeps the files but an installed product still succeeds",
         {true, true, "", "Request dismissed"},
         {{"A.app", "2.0"}},
         Ends::Ok,
         Ends::Cancelled,
         Ends::Cancelled},
        {"not started hands every product not installed over",
         {false, false, "", ""},
         {{"A.app", "2.1"}, {"B.app", "1.9"}},
         Ends::Ok,
         Ends::HandedOff,
         Ends::HandedOff},
        {"another error is no cancel",
         {true, false, "", "Error executing command"},
         {},
         Ends::HandedOff,
         Ends::HandedOff,
         Ends::HandedOff},
        {"an error number alone is no cancel on this host",
         {true, false, "", "-128"},
         {},
         Ends::HandedOff,
         Ends::HandedOff,
         Ends::HandedOff},
        {"OK lines, trimmed, for what the check cannot judge",
         {true, false, "noise\n  OK:2\t\r\nFAIL:0\n", ""},
         {{"A.app", "2.0"}, {"B.app", "3"}},
         Ends::Ok,
         Ends::Ok,
         Ends::Ok},
        {"the installed check overrides both OK and FAIL",
         {true, false, "OK:0\nFAIL:1\nFAIL:2\n", ""},
         {{"B.app", "2.0"}},
         Ends::HandedOff,
         Ends::Ok,
         Ends::HandedOff},
        {"a line of another index does not count",
         {true, false, "OK:20\nOK:", ""},
         {},
         Ends::HandedOff,
         Ends::HandedOff,
         Ends::HandedOff},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        AppHarness h;
        TempFolderOverride tmp(h.dir / "systmp");
        for (const auto& [bundle, version] : test.bundles) {
            writeBundle(h.dir / "Applications", bundle, version);
        }
        auto& app = h.start();
        const int activations = h.shell.activations;
        h.privileged.outcome = test.outcome;
        auto a = package(h, appItem("a", "A.app"), "a.pkg");
        auto b = package(h, appItem("b", "B.app"), "b.pkg");
        auto c = package(h, {{"id", "c"}, {"group", "font"}}, "c.pkg");
        app.runInstallers({a, b, c});
        h.queue.runUntilIdle();

        auto results = ofType(h.events(), "result");
        auto progress = ofType(h.events(), "progress");
        std::size_t handedOff = 0;
        for (const auto& [pkg, ends, version] :
             {std::tuple{a, test.a, Json("2.0")}, std::tuple{b, test.b, Json("2.0")},
              std::tuple{c, test.c, Json("")}}) {
            const std::string id = pkg.item["id"];
            SCOPED_TRACE(id);
            std::vector<Json> mine;
            for (const auto& event : results) {
                if (event["id"] == id) mine.push_back(event);
            }
            bool installerPhase = false;
            for (const auto& event : progress) {
                if (event["id"] == id && event["phase"] == "installer") installerPhase = true;
            }
            switch (ends) {
                case Ends::Ok:
                    ASSERT_EQ(mine.size(), 1u);
                    EXPECT_EQ(
                        mine[0],
                        Json({{"type", "result"}, {"id", id}, {"ok", true}, {"version", version}}));
                    EXPECT_FALSE(fs::exists(pkg.file));
                    break;
                case Ends::Cancelled:
                    ASSERT_EQ(mine.size(), 1u);
                    EXPECT_EQ(mine[0], Json({{"type", "result"},
                                             {"id", id},
                                             {"ok", false},
                                             {"error", "cancelled"}}));
                    EXPECT_TRUE(fs::exists(pkg.file));
                    break;
                case Ends::HandedOff:
                    ++handedOff;
                    EXPECT_TRUE(mine.empty());
                    EXPECT_TRUE(installerPhase);
                    ASSERT_EQ(app.handOff().count(id), 1u);
                    EXPECT_EQ(app.handOff().at(id).file, pkg.file);
                    EXPECT_TRUE(fs::exists(pkg.file));
                    break;
            }
            EXPECT_EQ(installerPhase, ends == Ends::HandedOff);
        }
        EXPECT_EQ(app.handOff().size(), handedOff);
        EXPECT_EQ(h.launcher.opened.size(), handedOff);
        // The program comes forward only when no installer window should stay in front.
        EXPECT_EQ(h.shell.activations, activations + (handedOff == 0 ? 1 : 0));
        EXPECT_TRUE(entriesOf(h.dir / "systmp").empty());
    }
}

TEST(RunInstallersResults, SelfUpdateInTheMiddleRelaunchesAndReportsNoFurther) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    auto& app = h.start();
    const int activations = h.shell.activations;
    h.privileged.outcome = {true, false, "OK:0\nOK:1\nOK:2\n", ""};
    auto first = package(h, {{"id", "x"}}, "x.pkg");
    auto self = package(h, {{"id", "suite"}, {"self", true}, {"version", 3}}, "suite.pkg");
    auto later = package(h, {{"id", "y"}}, "y.pkg");
    app.runInstallers({first, self, later});
    h.queue.runReady();

    auto results = ofType(h.events(), "result");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0]["id"], "x");
    EXPECT_EQ(results[1],
              Json({{"type", "result"}, {"id", "suite"}, {"ok", true}, {"version", 3}}));
    EXPECT_FALSE(fs::exists(self.file));
    EXPECT_TRUE(fs::exists(later.file));
    EXPECT_TRUE(app.handOff().empty());
    EXPECT_EQ(h.shell.activations, activations);

    // Relaunch requested: the program quits 1.2 s later (the waiting shell is checked with the
    // relaunch itself).
    h.queue.advance(1.19);
    EXPECT_EQ(h.shell.terminations, 0);
    h.queue.advance(0.02);
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_EQ(ofType(h.events(), "result").size(), 2u);
}

TEST(RunInstallersLog, OutcomeAndEachPackagesOutputAreLoggedAndTheFilesGo) {
    AppHarness h;
    TempFolderOverride tmp(h.dir / "systmp");
    HeldBackground held;
    auto& app = h.startWith([](AppConfig&) {}, h.http, &held);
    const std::string output = "OK:0\nFAIL:1\n";
    const std::string error = "it's \"odd\"\n\tnoise\x01";
    h.privileged.outcome = {true, false, output, error};
    app.runInstallers({package(h, {{"id", "a"}}, "a.pkg"), package(h, {{"id", "b"}}, "b.pkg"),
                       package(h, {{"id", "c"}}, "c.pkg")});

    // What the script's installers would have left in the run's folder.
    auto folders = entriesOf(h.dir / "systmp");
    ASSERT_EQ(folders.size(), 1u);
    std::ofstream(packageOutputPath(folders[0], 0)) << "installer: done\r\nline two\n";
    std::ofstream(packageOutputPath(folders[0], 1)) << "bad \xff\xfe bytes";
    held.tasks[0]();
    h.queue.runReady();

    auto lines = logLines(h);
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        ASSERT_GT(line.size(), 21u);
        EXPECT_EQ(line[19], 'Z');
        EXPECT_EQ(line[20], ' ');
    }
    EXPECT_EQ(lines[0].substr(21),
              "installer: out=" + quotedForLog(output) + " err=" + quotedForLog(error));
    EXPECT_EQ(lines[1].substr(21), "package 0: installer: done\r | line two | ");
    EXPECT_TRUE(entriesOf(h.dir / "systmp").empty());
}

}  // namespace
}  // namespace suite
