// The process table as Linux keeps it, against a program this test starts and ends itself.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <memory>

#include "backends/posix/ProcRunningPrograms.h"
#include "fakes/TempDir.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

TEST(ProcRunningPrograms, AStartedCopyIsSeenByItsPathAlsoOnceReplacedAndNotOnceEnded) {
    fakes::TempDir dir;
    const std::string program = (dir / "talven presenter").string(), other = dir / "capture";
    fs::copy_file("/bin/sleep", program);
    fs::copy_file("/bin/sleep", other);
    ProcRunningPrograms table;
    EXPECT_TRUE(table.running({program, other}).empty());

    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("60"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    // Ended by its own id however the test ends.
    std::shared_ptr<void> end(nullptr,
                              [pid](void*) { kill(pid, SIGKILL), waitpid(pid, nullptr, 0); });
    EXPECT_EQ(table.running({other, program, program}), std::vector<std::string>{program});
    // A package tool replaces a file by a new one under the same name; the old one still runs.
    fs::remove(program);
    EXPECT_EQ(table.running({program}), std::vector<std::string>{program});
    fs::copy_file("/bin/sleep", program);
    EXPECT_EQ(table.running({program}), std::vector<std::string>{program});
    end.reset();
    EXPECT_TRUE(table.running({program}).empty());
}

}  // namespace
}  // namespace suite
