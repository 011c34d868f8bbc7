#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/Files.h"
#include "common/Process.h"
#include "fakes/AppHarness.h"
#include "install/InstallResults.h"

extern char** environ;

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace fakes;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A real process of `seconds` length, reaped the moment it ends so that its id is really gone.
class ShortLivedProcess {
public:
    explicit ShortLivedProcess(const std::string& seconds) {
        std::string sleep = "/bin/sleep";
        std::string length = seconds;
        char* argv[] = {sleep.data(), length.data(), nullptr};
        if (::posix_spawn(&pid_, sleep.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = 0;
        if (pid_ > 0) {
            reaper_ = std::thread([this] {
                int status = 0;
                while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
                }
                gone_ = true;
            });
        } else {
            gone_ = true;
        }
    }
    ~ShortLivedProcess() {
        if (reaper_.joinable()) reaper_.join();
    }
    ShortLivedProcess(const ShortLivedProcess&) = delete;
    ShortLivedProcess& operator=(const ShortLivedProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool gone() const { return gone_; }

private:
    pid_t pid_ = 0;
    std::atomic<bool> gone_{false};
    std::thread reaper_;
};

// A stand-in for the new version: it writes the path it was started as into `marker`.
fs::path writeProgram(const fs::path& path, const fs::path& marker) {
    std::ofstream(path) << "#!/bin/sh\nprintf '%s' \"$0\" > '" << marker.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string fileText(const fs::path& path) {
    return readWholeFile(path).value_or("");
}

// The processes this process has started with exactly `argv`.
std::vector<pid_t> childrenRunning(const std::vector<std::string>& argv) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        auto stat = readWholeFile(entry.path() / "stat");
        auto cmdline = readWholeFile(entry.path() / "cmdline");
        if (!stat || !cmdline) continue;
        std::istringstream fields(stat->substr(stat->rfind(')') + 2));
        char state = 0;
        long parent = 0;
        fields >> state >> parent;
        if (parent != ::getpid()) continue;
        std::vector<std::string> args;
        std::istringstream pieces(*cmdline);
        for (std::string piece; std::getline(pieces, piece, '\0');) args.push_back(piece);
        if (args == argv) found.push_back(std::stoi(name));
    }
    return found;
}

// The shells started with `argv`, once they show. A process's arguments become readable only a
// moment after it was started, so this looks until one is there (bounded), then a little longer
// in case a second one follows.
std::vector<pid_t> startedShells(const std::vector<std::string>& argv) {
    using Clock = std::chrono::steady_clock;
    const auto limit = Clock::now() + std::chrono::seconds(5);
    std::vector<pid_t> found;
    while (found.empty() && Clock::now() < limit) {
        found = childrenRunning(argv);
        if (found.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto settle = Clock::now() + std::chrono::milliseconds(300);
    while (!found.empty() && Clock::now() < settle) {
        for (pid_t pid : childrenRunning(argv)) {
            if (std::find(found.begin(), found.end(), pid) == found.end()) found.push_back(pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return found;
}

TEST(Relaunch, TheNewProgramStartsOnlyAfterTheOldProcessHasGone) {
    TempDir dir;
    const fs::path marker = dir / "started";
    const fs::path program = writeProgram(dir / "talven-suite", marker);
    ShortLivedProcess old("1");
    ASSERT_GT(old.pid(), 0);

    ASSERT_TRUE(spawnDetached("/bin/sh", {"-c", relaunchScript(old.pid()), program.string()}));
    // Bounded: the old process lives one second.
    const auto end = Clock::now() + 5s;
    while (!old.gone() && Clock::now() < end) {
        ASSERT_FALSE(fs::exists(marker)) << "started while the old process was still there";
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(old.gone());
    EXPECT_TRUE(waitFor([&] { return fileText(marker) == program.string(); }, 5000ms))
        << fileText(marker);
}

TEST(Relaunch, APathWithBlanksAndQuotesReachesTheProgramIntact) {
    TempDir dir;
    const fs::path marker = dir / "started";
    const fs::path program =
        writeProgram(dir / "TALVEN Suite \"new\" it's $HOME `id` ; $(echo x)", marker);
    ShortLivedProcess old("0.1");
    ASSERT_TRUE(spawnDetached("/bin/sh", {"-c", relaunchScript(old.pid()), program.string()}));
    EXPECT_TRUE(waitFor([&] { return fileText(marker) == program.string(); }, 5000ms))
        << fileText(marker);
}

TEST(Relaunch, ProgramIsTheInstalledBundleWhenItCanBeExecuted) {
    TempDir dir;
    const fs::path apps = dir / "Applications";
    const fs::path own = writeProgram(dir / "own", dir / "unused");
    DetectPaths paths{{apps.string()}, "/nonexistent/pkgutil"};

    // Nothing installed: the running program's own file.
    EXPECT_EQ(relaunchProgram(paths, own), own.string());
    // A bundle folder cannot be executed here.
    fs::create_directories(apps / kOwnBundleName / "Contents");
    EXPECT_EQ(relaunchProgram(paths, own), own.string());
    fs::remove_all(apps / kOwnBundleName);
    // A plain file without execute permission neither.
    std::ofstream(apps / kOwnBundleName) << "#!/bin/sh\n";
    EXPECT_EQ(relaunchProgram(paths, own), own.string());
    fs::permissions(apps / kOwnBundleName, fs::perms::owner_all);
    EXPECT_EQ(relaunchProgram(paths, own), (apps / kOwnBundleName).string());

    // Nothing that can be started: no relaunch at all.
    fs::remove(apps / kOwnBundleName);
    EXPECT_EQ(relaunchProgram(paths, dir / "missing"), std::nullopt);
    EXPECT_EQ(relaunchProgram(paths, ""), std::nullopt);
}

TEST(Relaunch, ReopenStartsOneDetachedShellAndQuitsAfterTheDelay) {
    AppHarness h;
    const fs::path program = writeProgram(h.dir / "new suite", h.dir / "started");
    auto& app = h.startWith([&](AppConfig& config) { config.ownExecutable = program; }, h.http);
    const std::vector<std::string> argv = {"/bin/sh", "-c", relaunchScript(::getpid()),
                                           program.string()};

    app.reopen();
    app.reopen();  // a second request before quitting starts no second program
    auto shells = startedShells(argv);
    ASSERT_EQ(shells.size(), 1u);
    const pid_t shell = shells[0];
    // Its own session, and nothing of ours on its standard streams.
    auto stat = readWholeFile("/proc/" + std::to_string(shell) + "/stat").value_or("");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    char state = 0;
    long parent = 0, group = 0, session = 0;
    fields >> state >> parent >> group >> session;
    EXPECT_EQ(session, shell);
    for (int fd : {0, 1, 2}) {
        std::error_code error;
        auto target =
            fs::read_symlink("/proc/" + std::to_string(shell) + "/fd/" + std::to_string(fd), error);
        EXPECT_EQ(target, "/dev/null") << fd;
    }
    ::kill(shell, SIGKILL);

    h.queue.advance(1.19);
    EXPECT_EQ(h.shell.terminations, 0);
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_FALSE(fs::exists(h.dir / "started"));  // the shell waits for this process
}

TEST(Relaunch, QuitsWithoutRelaunchingWhenNothingCanBeStarted) {
    AppHarness h;
    auto& app = h.start();  // its own executable does not exist
    app.reopen();
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 1);
    EXPECT_FALSE(spawnDetached((h.dir / "missing").string(), {}));
}

TEST(Relaunch, TerminationDoesNotReachAGoneDelegate) {
    AppHarness h;
    h.start().reopen();
    h.delegate.reset();
    h.queue.runUntilIdle();
    EXPECT_EQ(h.shell.terminations, 0);
}

}  // namespace
}  // namespace suite
