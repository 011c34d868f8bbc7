#pragma once
// Starting a command-line tool and collecting what it prints: the one way this program runs
// another program. No shell is involved, so arguments reach the tool exactly as given. The
// implementation is POSIX (backends/posix), as on both hosts the program knows.
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace suite {

struct ProcessOptions {
    // NAME=value entries added to the inherited environment; an entry replaces an inherited
    // variable of the same name.
    std::vector<std::pair<std::string, std::string>> environment = {};
    // Standard error goes to /dev/null unless captured; captured, it is drained alongside
    // standard output so that neither pipe can fill up and stall the child.
    bool captureStandardError = false;
    // Standard error into the same pipe as standard output, so both read in the order written
    // (wins over `captureStandardError`).
    bool mergeStandardError = false;
    // Bytes kept of each captured stream. The rest is still read (the child must not block on a
    // full pipe) but dropped, and the result says so.
    std::size_t outputLimit = std::numeric_limits<std::size_t>::max();
    // Seconds after which the child is killed and its streams abandoned; none (or NaN) waits for
    // as long as the child and anything it started keep the output open. With a limit the child
    // leads its own process group, so that the kill also reaches whatever it started.
    std::optional<double> timeoutSeconds = {};
    // Called on the calling thread with each piece of standard output as it arrives (before the
    // output limit applies), for a caller that reports a long run's progress while it goes on.
    std::function<void(std::string_view)> onOutput = {};
    // For a tool that asks one question: called with each piece of standard output (after
    // `onOutput`) until it answers; its answer is written to the child's standard input, which is
    // then closed. Without it, standard input is /dev/null.
    std::function<std::optional<std::string>(std::string_view)> answer = {};
};

struct ProcessResult {
    int exitStatus = -1;  // -1 when killed by a signal
    std::string standardOutput;
    std::string standardError;  // empty unless captured
    bool truncated = false;     // a stream went past the output limit
    bool timedOut = false;      // killed at the time limit; the output is what came before
};

// Runs `executable` (a path; argv[0] is that path) with `arguments`, standard input from
// /dev/null (or the answer's pipe) and nothing else of ours inherited, reads its output to the end
// and waits for it. Nothing when it cannot be started: missing or not executable, or a string that
// cannot be passed to it (an embedded NUL, a variable name with "="). Callable from any thread.
std::optional<ProcessResult> runProcess(const std::string& executable,
                                        const std::vector<std::string>& arguments,
                                        const ProcessOptions& options = {});

// Starts `executable` (argv[0] is that path) with `arguments` in a session of its own, standard
// input, output and error on /dev/null and nothing else of ours inherited, and does not wait for
// it: the child may outlive this process. It is reaped in the background should it end first,
// so no zombie is left behind. Whether it could be started. Callable from any thread.
bool spawnDetached(const std::string& executable, const std::vector<std::string>& arguments);

// This process's id.
long ownProcessId();

// Starts `program` (argv[0] is that path) once the process `processId` has ended, from a waiting
// process of its own that outlives this one (a relaunch: the new version must not start beside
// the old). Whether that waiting process could be started.
bool startOnceEnded(long processId, const std::string& program);

// Replaces this process with `line` (a path first, which is argv[0]), keeping its id, in the
// environment this process was started with: what it has set for itself since would read as the
// user's own choice in the new program. Descriptors other than standard input, output and error
// are not passed on. Returns only when that could not be done, with the reason.
std::string replaceProcess(const std::vector<std::string>& line);

// Makes this process the parent of whatever its children leave behind when they end (Linux's
// child subreaper), so that endRemainingChildren can reach a process that left the group a time
// limit's kill ends (as a package tool's helpers may). Whether that could be done.
bool adoptOrphans();

// Kills and reaps every child this process still has, and what they leave behind in turn: once
// no runProcess call is under way and after adoptOrphans, exactly what the tools it ran left
// running. For a process that runs one tool at a time. Answers how many were ended.
std::size_t endRemainingChildren();

}  // namespace suite
