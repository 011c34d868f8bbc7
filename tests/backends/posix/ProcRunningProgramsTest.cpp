// The process table as Linux keeps it, against a program this test starts and ends itself.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "backends/posix/ProcRunningPrograms.h"
#include "fakes/TempDir.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

// A copy of sleep under its own name, started by this test; ended by its own id however the test
// ends.
struct Started {
    explicit Started(const fs::path& program) {
        const std::string path = program.string();
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
        char* envp[] = {nullptr};
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp) != 0) pid = -1;
    }
    ~Started() { end(); }
    void end() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t pid = -1;
};

TEST(ProcRunningPrograms, AStartedCopyIsSeenByItsPathAlsoOnceReplacedAndNotOnceEnded) {
    fakes::TempDir dir;
    const fs::path program = dir / "talven presenter";
    const std::string other = (dir / "talven capture").string();
    fs::copy_file("/bin/sleep", program);
    fs::copy_file("/bin/sleep", other);
    ProcRunningPrograms table;
    EXPECT_TRUE(table.running({program.string(), other}).empty());

    Started started(program);
    ASSERT_GT(started.pid, 0);
    EXPECT_EQ(table.running({other, program.string(), program.string()}),
              std::vector<std::string>{program.string()});

    // A package tool replaces a file by a new one under the same name; the old one still runs.
    fs::remove(program);
    EXPECT_EQ(table.running({program.string()}), std::vector<std::string>{program.string()});
    fs::copy_file("/bin/sleep", program);
    EXPECT_EQ(table.running({program.string()}), std::vector<std::string>{program.string()});

    started.end();
    EXPECT_TRUE(table.running({program.string()}).empty());
}

}  // namespace
}  // namespace suite
