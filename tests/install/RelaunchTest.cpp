#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "fakes/AppHarness.h"
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

// A stand-in for the new version: it writes the path it was started as into `marker`.
fs::path writeProgram(const fs::path& path, const fs::path& marker) {
    std::ofstream(path) << "#!/bin/sh\nprintf '%s' \"$0\" > '" << marker.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

bool markerBecomes(const fs::path& marker, const std::string& text) {
    for (const auto end = Clock::now() + 5s; readWholeFile(marker).value_or("") != text;) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Fields of /proc/<pid>/stat after the command name: state, parent, group, session.
std::vector<long> statFields(const std::string& pid) {
    auto stat = readWholeFile("/proc/" + pid + "/stat").value_or(")    ");
    std::istringstream fields(stat.substr(stat.rfind(')') + 4));
    std::vector<long> out(3);
    fields >> out[0] >> out[1] >> out[2];
    return out;
}

// Children of this process started with exactly `argv`.
std::vector<pid_t> childrenRunning(const std::vector<std::string>& argv) {
    std::string wanted;
    for (const auto& arg : argv) wanted += arg + '\0';
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            readWholeFile(entry.path() / "cmdline") == wanted && statFields(name)[0] == ::getpid())
            found.push_back(std::stoi(name));
    }
    return found;
}

TEST(Relaunch, TheNewProgramStartsOnlyAfterTheOldProcessHasGoneWithItsPathIntact) {
    TempDir dir;
    const fs::path marker = dir / "started";
    const fs::path program =
        writeProgram(dir / "TALVEN Suite \"new\" it's $HOME `id` ; $(echo x)", marker);
    const pid_t old = spawnSleep("1");
    ASSERT_GT(old, 0);
    ASSERT_TRUE(spawnDetached("/bin/sh", {"-c", relaunchScript(old), program.string()}));
    ASSERT_TRUE(reap(old, [&] {
        EXPECT_FALSE(fs::exists(marker)) << "started while the old process was still there";
    }));
    EXPECT_TRUE(markerBecomes(marker, program.string()));
}

TEST(Relaunch, ProgramIsTheInstalledOneWhenItCanBeExecuted) {
    TempDir dir;
    const fs::path installed = dir / kOwnBundleName;
    const fs::path own = writeProgram(dir / "own", dir / "unused");
    EXPECT_EQ(relaunchProgram(std::nullopt, own), own.string());  // nothing installed
    fs::create_directories(installed / "Contents");  // a folder (a Mac bundle) cannot be executed
    EXPECT_EQ(relaunchProgram(installed.string(), own), own.string());
    fs::remove_all(installed);
    std::ofstream(installed) << "#!/bin/sh\n";  // nor a file without execute permission
    EXPECT_EQ(relaunchProgram(installed.string(), own), own.string());
    fs::permissions(installed, fs::perms::owner_all);
    EXPECT_EQ(relaunchProgram(installed.string(), own), installed.string());
    EXPECT_EQ(relaunchProgram(std::nullopt, dir / "missing"), std::nullopt);
    EXPECT_EQ(relaunchProgram(std::nullopt, ""), std::nullopt);
}

TEST(Relaunch, ReopenStartsOneDetachedShellAndQuitsAfterTheDelay) {
    AppHarness h;
    const fs::path program = writeProgram(h.dir / "new suite", h.dir / "started");
    auto& app = h.startWith([&](AppConfig& config) { config.ownExecutable = program; }, h.http);
    app.reopen();
    app.reopen();  // a second request before quitting starts no second program
    const std::vector<std::string> argv = {"/bin/sh", "-c", relaunchScript(::getpid()),
                                           program.string()};
    // Arguments become readable a moment after the start; a second shell would show by then too.
    for (const auto end = Clock::now() + 5s; childrenRunning(argv).empty() && Clock::now() < end;)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(300ms);
    auto shells = childrenRunning(argv);
    ASSERT_EQ(shells.size(), 1u);
    const std::string shell = std::to_string(shells[0]);
    // Its own session, and nothing of ours on its standard streams.
    EXPECT_EQ(statFields(shell)[2], shells[0]);
    for (const char* fd : {"0", "1", "2"}) {
        std::error_code error;
        EXPECT_EQ(fs::read_symlink("/proc/" + shell + "/fd/" + fd, error), "/dev/null") << fd;
    }
    ::kill(shells[0], SIGKILL);

    h.queue.advance(1.19);
    EXPECT_EQ(h.shell.terminations, 0);
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_FALSE(fs::exists(h.dir / "started"));  // the shell waits for this process
}

TEST(Relaunch, QuitsWithoutRelaunchingWhenNothingCanBeStartedButNotWithoutADelegate) {
    AppHarness h;
    h.start().reopen();  // its own executable does not exist
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_FALSE(spawnDetached((h.dir / "missing").string(), {}));

    AppHarness gone;
    gone.start().reopen();
    gone.delegate.reset();
    gone.queue.runUntilIdle();
    EXPECT_EQ(gone.shell.terminations, 0);
}

}  // namespace
}  // namespace suite
