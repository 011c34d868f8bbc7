#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "fakes/AppHarness.h"
#include "fakes/TestFiles.h"
#include "install/InstallResults.h"
#include "platform/Files.h"
#include "platform/Process.h"

extern char** environ;

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A real /bin/sleep of `seconds`; 0 if it could not start.
pid_t spawnSleep(std::string seconds) {
    std::string sleep = "/bin/sleep";
    char* argv[] = {sleep.data(), seconds.data(), nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, sleep.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : 0;
}

// Reaps `pid` the moment it ends (bounded), checking `whileAlive` until then.
bool reap(
    pid_t pid, const std::function<void()>& whileAlive = [] {}) {
    for (const auto end = Clock::now() + 5s; Clock::now() < end;) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return true;
        whileAlive();
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

bool markerBecomes(const fs::path& marker, const std::string& text) {
    for (const auto end = Clock::now() + 5s; readWholeFile(marker).value_or("") != text;) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(Relaunch, TheNewProgramStartsOnlyAfterTheOldProcessHasGoneWithItsPathIntact) {
    TempDir dir;
    const fs::path marker = dir / "started";
    // A stand-in for the new version: it writes the path it was started as into `marker`.
    const fs::path program = writeScript(dir / "TALVEN Suite \"new\" it's $HOME `id` ; $(echo x)",
                                         "printf '%s' \"$0\" > '" + marker.string() + "'\n");
    const pid_t old = spawnSleep("1");
    ASSERT_GT(old, 0);
    ASSERT_TRUE(startOnceEnded(old, program.string()));
    ASSERT_TRUE(reap(old, [&] {
        EXPECT_FALSE(fs::exists(marker)) << "started while the old process was still there";
    }));
    EXPECT_TRUE(markerBecomes(marker, program.string()));
}

TEST(Relaunch, QuitsWithoutRelaunchingWhenNothingCanBeStarted) {
    AppHarness h;
    h.start().reopen();  // its own executable does not exist
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_FALSE(spawnDetached((h.dir / "missing").string(), {}));
}

}  // namespace
}  // namespace suite
