#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "fakes/TempDir.h"
#include "platform/Process.h"
#include "platform/macos/InstallScript.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

InstallPaths macPaths() {
    InstallPaths paths;
    paths.appDirs = {"/Applications", "/Users/ann/Applications"};
    paths.home = "/Users/ann";
    return paths;
}

Json appItem(Json apps) {
    return {{"id", "foo"}, {"group", "app"}, {"detect", {{"apps", std::move(apps)}}}};
}

const std::string kStamp = "2026-12-05 07.30.12";

TEST(InstallScript, ShellQuoteSurvivesEveryCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "''"},
        {"it's", "'it'\\''s'"},
        {"''", "''\\'''\\'''"},
        {"a b\t$(id) `id` \"q\" \\ *", "'a b\t$(id) `id` \"q\" \\ *'"},
        {"line\nbreak", "'line\nbreak'"},
        {"-rf", "'-rf'"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(shellQuote(in), out) << in;
}

TEST(InstallScript, TimeStampIsLocalTime) {
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    const std::time_t moment = 1796455812;  // 2026-12-05T07:30:12Z
    // POSIX sign convention: "XST-3" is three hours east; "YST9" crosses midnight backwards.
    for (const auto& [zone, stamp] : {std::pair{"UTC0", "2026-12-05 07.30.12"},
                                      {"XST-3", "2026-12-05 10.30.12"},
                                      {"YST9", "2026-12-04 22.30.12"}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        EXPECT_EQ(installTimeStamp(moment), stamp) << zone;
    }
    oldZone ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

TEST(InstallScript, NoMoveAsideUnlessAnOrdinaryAppItemNamesABundle) {
    const InstallPaths paths = macPaths();
    Json self = appItem({"Foo.app"}), addin = appItem({"Foo.app"}),
         selfAsText = appItem({"Foo.app"});
    self["self"] = true;
    addin["group"] = "addin";
    selfAsText["self"] = "true";    // not a bool: not the program itself
    InstallPaths homeless = paths;  // no Trash to move to
    homeless.home.clear();
    for (const Json& item : {self, addin, Json{{"detect", {{"apps", {"Foo.app"}}}}}, Json::array(),
                             appItem({"Foo.app", 3})})
        EXPECT_TRUE(moveAsideCommands(item, paths, kStamp).empty()) << item;
    EXPECT_TRUE(moveAsideCommands(appItem({"Foo.app"}), homeless, kStamp).empty());
    EXPECT_EQ(moveAsideCommands(selfAsText, paths, kStamp).size(), 2u);

    // Only single path components that end in ".app" name a bundle.
    for (const auto& bad :
         {std::string("../Foo.app"), std::string("Sub/Foo.app"), std::string("/Foo.app"),
          std::string("Foo"), std::string("Foo.App"), std::string("Foo.app/"), std::string(".app"),
          std::string(".."), std::string(), std::string("F\0o.app", 7)})
        EXPECT_TRUE(moveAsideCommands(appItem({bad}), paths, kStamp).empty()) << bad;
}

// pkill reads its argument as an extended regular expression; the pattern must match the one
// name and nothing else, as the real pgrep shows.
TEST(InstallScript, ProcessPatternMatchesExactlyTheName) {
    fakes::TempDir dir;
    for (const std::string name : {"F (B)+[x]", ".*"}) {
        fs::copy_file("/bin/sleep", dir / name);
        auto sleeper = dir / name;
        ASSERT_TRUE(spawnDetached(sleeper.string(), {"30"}));
        auto found = [&](const std::string& pattern) {
            for (int tries = 0; tries < 100; ++tries) {
                auto run = runProcess("/usr/bin/pgrep", {"-x", "--", pattern});
                if (run && run->exitStatus == 0) return run->standardOutput;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            return std::string();
        };
        const std::string pid = found(exactProcessPattern(name));
        EXPECT_FALSE(pid.empty()) << name;
        if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
    }
    // ".*" as a pattern matched every process; escaped it matches none of this machine's.
    auto run = runProcess("/usr/bin/pgrep", {"-x", "--", exactProcessPattern("s.*")});
    EXPECT_EQ(run->exitStatus, 1) << run->standardOutput;
}

}  // namespace
}  // namespace suite
