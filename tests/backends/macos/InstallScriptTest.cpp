#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "backends/macos/InstallScript.h"
#include "fakes/TempDir.h"
#include "platform/Process.h"

namespace suite {
namespace {

InstallPaths macPaths() {
    InstallPaths paths;
    paths.appDirs = {"/Applications", "/Users/ann/Applications"};
    paths.home = "/Users/ann";
    return paths;
}

InstallItem appItem(Json apps) {
    return {.id = "foo", .group = "app", .detect = {{"apps", std::move(apps)}}};
}

const std::string kStamp = "2026-12-05 07.30.12";

TEST(InstallScript, NoMoveAsideUnlessAnOrdinaryAppItemNamesABundle) {
    const InstallPaths paths = macPaths();
    InstallItem self = appItem({"Foo.app"}), addin = appItem({"Foo.app"}),
                ungrouped = appItem({"Foo.app"});
    self.self = true;
    addin.group = "addin";
    ungrouped.group.clear();
    for (const InstallItem& item : {self, addin, ungrouped})
        EXPECT_TRUE(moveAsideCommands(item, paths, kStamp).empty()) << item.group;
    EXPECT_EQ(moveAsideCommands(appItem({"Foo.app"}), paths, kStamp).size(), 2u);

    // Only single path components that end in ".app" name a bundle.
    for (const auto& bad :
         {std::string("../Foo.app"), std::string("Sub/Foo.app"), std::string("Foo.App"),
          std::string(".app"), std::string("F\0o.app", 7)})
        EXPECT_TRUE(moveAsideCommands(appItem({bad}), paths, kStamp).empty()) << bad;
}

// pkill reads its argument as an extended regular expression; the pattern must match the one
// name and nothing else, as the real pgrep shows.
TEST(InstallScript, ProcessPatternMatchesExactlyTheName) {
    fakes::TempDir dir;
    const std::string name = "F (B)+[x]";
    std::filesystem::copy_file("/bin/sleep", dir / name);
    ASSERT_TRUE(spawnDetached((dir / name).string(), {"30"}));
    std::string pid;
    for (int tries = 0; tries < 100 && pid.empty(); ++tries) {
        auto run = runProcess("/usr/bin/pgrep", {"-x", "--", exactProcessPattern(name)});
        if (run && run->exitStatus == 0) pid = run->standardOutput;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(pid.empty());
    ::kill(std::stoi(pid), SIGKILL);
    // ".*" as a pattern matched every process; escaped it matches none of this machine's.
    auto run = runProcess("/usr/bin/pgrep", {"-x", "--", exactProcessPattern("s.*")});
    EXPECT_EQ(run->exitStatus, 1) << run->standardOutput;
}

}  // namespace
}  // namespace suite
