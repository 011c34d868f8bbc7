#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fakes/TempDir.h"
#include "platform/Process.h"

namespace suite {
namespace {

using namespace std::chrono_literals;

// Runs that would hang if the helper were wrong get a limit: a fault fails instead of stalling.
ProcessResult run(const std::string& executable, const std::vector<std::string>& arguments,
                  ProcessOptions options = {}) {
    if (!options.timeoutSeconds) options.timeoutSeconds = 20;
    return runProcess(executable, arguments, options).value();
}

ProcessResult sh(const std::string& script, const ProcessOptions& options = {}) {
    return run("/bin/sh", {"-c", script}, options);
}

TEST(Process, ExitStatusAndOutputAsTheChildLeftThem) {
    EXPECT_EQ(sh("exit 3").exitStatus, 3);
    EXPECT_EQ(sh("kill -9 $$").exitStatus, -1);
    EXPECT_EQ(sh("printf 'a\\000b\\377\\r\\n'; printf 'tail'").standardOutput,
              std::string("a\0b\xff\r\ntail", 10));

    // Arguments are not interpreted by anything; argv[0] is the executable's path.
    EXPECT_EQ(
        run("/usr/bin/printf", {"%s|", "a b", "$HOME", "'q'", "\"d\"", "*", ""}).standardOutput,
        "a b|$HOME|'q'|\"d\"|*||");
}

TEST(Process, NothingWhenItCannotBeStartedAsAsked) {
    // A folder or a file without execute permission fails the same start as a missing file.
    ProcessOptions badName;
    badName.environment = {{"A=B", "x"}};
    EXPECT_FALSE(runProcess("/nonexistent/tool", {}));
    EXPECT_FALSE(runProcess("true", {}));  // names are not looked up on PATH
    EXPECT_FALSE(runProcess("/bin/echo", {std::string("a\0b", 3)}));
    EXPECT_FALSE(runProcess("/bin/true", {}, badName));
}

TEST(Process, LargeOutputOnEitherStreamNeverStallsTheChild) {
    constexpr std::size_t kSize = 8u << 20;
    ProcessOptions both;
    both.captureStandardError = true;
    auto loud = sh("head -c 8388608 /dev/zero >&2 & head -c 8388608 /dev/zero; wait", both);
    EXPECT_FALSE(loud.timedOut);
    EXPECT_EQ(loud.standardOutput.size(), kSize);
    EXPECT_EQ(loud.standardError.size(), kSize);
}

TEST(Process, ChildGetsNothingOfOursButItsStandardStreams) {
    int leaked = ::open("/dev/null", O_RDONLY);  // as a library might, without close-on-exec
    auto listing = run("/usr/bin/ls", {"/proc/self/fd"});
    auto links = run("/usr/bin/readlink", {"/proc/self/fd/0", "/proc/self/fd/2"});
    auto input = sh("cat");
    ::close(leaked);
    // 0-2 are the child's streams, 3 is the folder ls is reading.
    EXPECT_EQ(listing.standardOutput, "0\n1\n2\n3\n");
    EXPECT_EQ(links.standardOutput, "/dev/null\n/dev/null\n");
    EXPECT_FALSE(input.timedOut);
}

// A tool that asks once is answered once it has asked, and its input then ends; one that is gone
// before the answer costs nothing.
TEST(Process, AQuestionIsAnsweredOnceItIsAsked) {
    ProcessOptions options;
    std::string seen;
    options.answer = [&](std::string_view piece) -> std::optional<std::string> {
        seen.append(piece);
        if (seen.find("ok? ") == std::string::npos) return std::nullopt;
        return "yes\n";
    };
    EXPECT_EQ(sh("printf 'ok? '; read a; echo \"[$a]\"; cat", options).standardOutput,
              "ok? [yes]\n");
    seen.clear();
    EXPECT_EQ(sh("printf 'ok? '; exec 0<&-", options).exitStatus, 0);
}

TEST(Process, TimeLimitKillsTheChildAndWhatItStarted) {
    fakes::TempDir dir;
    std::string marker = (dir / "survivor").string();
    auto start = std::chrono::steady_clock::now();
    ProcessOptions limit;
    limit.timeoutSeconds = 0.3;
    auto slow = sh("echo started; sleep 30", limit);
    // A grandchild holding the output open, and a child that closed it but keeps running.
    auto holder = sh("(sleep 1; touch '" + marker + "') & echo forked", limit);
    auto closer = sh("exec >&-; sleep 30", limit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(slow.timedOut && holder.timedOut && closer.timedOut);
    EXPECT_EQ(slow.exitStatus, -1);
    EXPECT_EQ(slow.standardOutput, "started\n");
    EXPECT_EQ(holder.standardOutput, "forked\n");
    EXPECT_FALSE(sh("true", limit).timedOut);
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(std::filesystem::exists(marker));  // killed with its group
}

}  // namespace
}  // namespace suite
