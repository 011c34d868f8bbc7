#include "platform/Process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/Files.h"

extern char** environ;

namespace suite {

namespace {

// Closes on every way out, so an early return cannot leak a pipe end into later children.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// A pipe whose both ends are close-on-exec, so a child started by another thread at the same
// moment cannot inherit it. Ends are kept above the standard descriptors: were one of them 0, 1
// or 2 (a parent started with those closed), the child's redirections would overwrite it.
bool makePipe(Descriptor& readEnd, Descriptor& writeEnd) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    for (int& end : ends) {
        if (end > STDERR_FILENO) continue;
        int moved = ::fcntl(end, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(end);
        end = moved;
    }
    readEnd.reset(ends[0]);
    writeEnd.reset(ends[1]);
    return readEnd.valid() && writeEnd.valid();
}

bool passable(std::string_view text) {
    return text.find('\0') == std::string_view::npos;
}

std::vector<std::string> childEnvironment(const ProcessOptions& options) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        std::string_view name = text.substr(0, text.find('='));
        bool replaced = std::any_of(options.environment.begin(), options.environment.end(),
                                    [&](const auto& extra) { return extra.first == name; });
        if (!replaced) entries.emplace_back(text);
    }
    for (const auto& [name, value] : options.environment) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (auto& text : strings) out.push_back(text.data());
    out.push_back(nullptr);
    return out;
}

struct SpawnSetup {
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The child inherits nothing of ours beyond its three streams, and starts with no blocked
    // signals and default dispositions whatever this thread or the toolkit set up (an ignored
    // SIGPIPE would otherwise survive the exec). `flags` are added to the spawn flags.
    void startClean(short flags) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Libraries in this process may open descriptors without close-on-exec.
        ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
        sigset_t none;
        sigset_t all;
        ::sigemptyset(&none);
        ::sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        ::posix_spawnattr_setsigdefault(&attributes, &all);
        ::posix_spawnattr_setflags(&attributes, static_cast<short>(POSIX_SPAWN_SETSIGMASK |
                                                                   POSIX_SPAWN_SETSIGDEF | flags));
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

// One output stream of the child, read until it closes.
struct Stream {
    Descriptor fd;
    std::string* text = nullptr;
    const std::function<void(std::string_view)>* onRead = nullptr;
    bool open() const { return fd.valid(); }
};

// Reads what is there now; closes the stream at its end or on a read error.
void drain(Stream& stream, std::size_t limit, bool& truncated) {
    char buffer[65536];
    ssize_t got;
    do {
        got = ::read(stream.fd.get(), buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        stream.fd.reset();
        return;
    }
    std::size_t count = static_cast<std::size_t>(got);
    if (stream.onRead != nullptr && *stream.onRead) (*stream.onRead)({buffer, count});
    std::size_t room = limit - std::min(limit, stream.text->size());
    if (count > room) truncated = true;
    stream.text->append(buffer, std::min(count, room));
}

// A few bytes into an empty pipe: the write does not block. A child that has gone meanwhile gets
// nothing, which is what it would have read, and its end's SIGPIPE must not end this process: it
// is held back for this thread while writing, and taken if it came.
void writeWithoutSigpipe(int fd, std::string_view text) {
    sigset_t pipe, before;
    ::sigemptyset(&pipe);
    ::sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, &before);
    sigset_t pending;
    ::sigpending(&pending);
    const bool alreadyPending = ::sigismember(&pending, SIGPIPE) == 1;
    bool broken = false;
    while (!text.empty()) {
        const ssize_t wrote = ::write(fd, text.data(), text.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            broken = errno == EPIPE;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
    if (broken && !alreadyPending) {
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

using Clock = std::chrono::steady_clock;

int exitStatusFrom(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return exitStatusFrom(status);
}

int millisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

// A child may close its output and go on running; with a time limit that wait is bounded too.
// Nothing when the deadline passes first. A process descriptor wakes us the moment the child
// ends (the output usually closes a moment before the exit); without one, short naps.
std::optional<int> waitForExitUntil(pid_t pid, Clock::time_point deadline) {
    Descriptor exited(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));  // close-on-exec
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return exitStatusFrom(status);
        if (done < 0 && errno != EINTR) return -1;
        if (Clock::now() >= deadline) return std::nullopt;
        if (exited.valid()) {
            pollfd watch{.fd = exited.get(), .events = POLLIN, .revents = 0};
            ::poll(&watch, 1, millisecondsUntil(deadline));
        } else {
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - Clock::now()));
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
    }
}

}  // namespace

std::optional<ProcessResult> runProcess(const std::string& executable,
                                        const std::vector<std::string>& arguments,
                                        const ProcessOptions& options) {
    if (!passable(executable)) return std::nullopt;
    for (const auto& argument : arguments) {
        if (!passable(argument)) return std::nullopt;
    }
    for (const auto& [name, value] : options.environment) {
        if (name.empty() || !passable(name) || !passable(value) ||
            name.find('=') != std::string::npos) {
            return std::nullopt;
        }
    }

    ProcessResult result;
    // The answer's pipe: the child reads its end; ours is written once and closed.
    Descriptor inRead;
    Descriptor inWrite;
    if (options.answer && !makePipe(inRead, inWrite)) return std::nullopt;
    std::function<void(std::string_view)> onOutput = [&](std::string_view piece) {
        if (options.onOutput) options.onOutput(piece);
        if (!inWrite.valid()) return;
        if (auto reply = options.answer(piece)) {
            writeWithoutSigpipe(inWrite.get(), *reply);
            inWrite.reset();
        }
    };
    Stream out{.fd = {}, .text = &result.standardOutput, .onRead = &onOutput};
    Stream err{.fd = {}, .text = &result.standardError};
    Descriptor outWrite;
    Descriptor errWrite;
    if (!makePipe(out.fd, outWrite)) return std::nullopt;
    const bool captureError = options.captureStandardError && !options.mergeStandardError;
    if (captureError && !makePipe(err.fd, errWrite)) return std::nullopt;

    SpawnSetup setup;
    if (inRead.valid()) {
        ::posix_spawn_file_actions_adddup2(&setup.actions, inRead.get(), STDIN_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ::posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), STDOUT_FILENO);
    if (options.mergeStandardError) {
        ::posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), STDERR_FILENO);
    } else if (captureError) {
        ::posix_spawn_file_actions_adddup2(&setup.actions, errWrite.get(), STDERR_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    short flags = 0;
    // With a time limit the child leads its own process group, so that a kill at the limit also
    // reaches whatever it started.
    if (options.timeoutSeconds) {
        flags |= POSIX_SPAWN_SETPGROUP;
        ::posix_spawnattr_setpgroup(&setup.attributes, 0);
    }
    setup.startClean(flags);

    std::vector<std::string> argvStrings;
    argvStrings.reserve(arguments.size() + 1);
    argvStrings.push_back(executable);
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings = childEnvironment(options);
    std::vector<char*> argv = pointers(argvStrings);
    std::vector<char*> envp = pointers(envStrings);

    pid_t pid = 0;
    if (::posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                      envp.data()) != 0) {
        return std::nullopt;
    }
    // Only the child may hold the write ends, or the reads below would never see the end; and the
    // read end of its input.
    outWrite.reset();
    errWrite.reset();
    inRead.reset();

    std::optional<Clock::time_point> deadline;
    if (options.timeoutSeconds && !std::isnan(*options.timeoutSeconds)) {
        // Capped at a day so the conversion cannot overflow; nobody waits that long on a tool.
        double seconds = std::clamp(*options.timeoutSeconds, 0.0, 86400.0);
        deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
    }

    while (out.open() || err.open()) {
        pollfd watched[2];
        Stream* streams[2];
        nfds_t count = 0;
        for (Stream* stream : {&out, &err}) {
            if (!stream->open()) continue;
            watched[count] = pollfd{.fd = stream->fd.get(), .events = POLLIN, .revents = 0};
            streams[count++] = stream;
        }
        int waitMs = -1;
        if (deadline) {
            if (Clock::now() >= *deadline) {
                result.timedOut = true;
                break;
            }
            waitMs = millisecondsUntil(*deadline);
        }
        int ready = ::poll(watched, count, waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;  // cannot watch the pipes any more; what was read is what there is
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (watched[i].revents != 0) drain(*streams[i], options.outputLimit, result.truncated);
        }
    }
    // Closing our ends first means a child still writing gets EPIPE instead of waiting on us.
    out.fd.reset();
    err.fd.reset();
    if (deadline && !result.timedOut) {
        if (auto status = waitForExitUntil(pid, *deadline)) {
            result.exitStatus = *status;
            return result;
        }
        result.timedOut = true;
    }
    if (result.timedOut) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);  // in case it left the group it was started in
    }
    result.exitStatus = waitForExit(pid);
    return result;
}

bool spawnDetached(const std::string& executable, const std::vector<std::string>& arguments) {
    if (!passable(executable)) return false;
    for (const auto& argument : arguments) {
        if (!passable(argument)) return false;
    }

    SpawnSetup setup;
    ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A session of its own: the child must not get the hang-up or the terminal's signals that
    // end this process and its group.
    setup.startClean(POSIX_SPAWN_SETSID);

    std::vector<std::string> argvStrings;
    argvStrings.reserve(arguments.size() + 1);
    argvStrings.push_back(executable);
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings = childEnvironment(ProcessOptions{});
    std::vector<char*> argv = pointers(argvStrings);
    std::vector<char*> envp = pointers(envStrings);

    pid_t pid = 0;
    if (::posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                      envp.data()) != 0) {
        return false;
    }
    // Nobody waits for the child, yet one that ends while we run would stay a zombie, and a
    // zombie still answers kill(pid, 0) to anyone polling for its end.
    try {
        std::thread([pid] { waitForExit(pid); }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child still runs, and is reaped when this process ends.
    }
    return true;
}

long ownProcessId() {
    return static_cast<long>(::getpid());
}

bool startOnceEnded(long processId, const std::string& program) {
    // The shell gets the program as $0, so its path is never read as shell text.
    return spawnDetached("/bin/sh", {"-c",
                                     "while /bin/kill -0 " + std::to_string(processId) +
                                         " 2>/dev/null; do /bin/sleep 0.2; done; exec \"$0\"",
                                     program});
}

std::string replaceProcess(const std::vector<std::string>& line) {
    if (line.empty()) return "nothing to start";
    std::vector<std::string> arguments = line;
    std::vector<std::string> environment;
    const std::string started = readWholeFile("/proc/self/environ").value_or("");
    for (std::size_t at = 0, end; (end = started.find('\0', at)) != std::string::npos;
         at = end + 1) {
        environment.push_back(started.substr(at, end - at));
    }
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    std::fflush(nullptr);
    // Descriptors a library opened without close-on-exec would otherwise stay open for good.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(argv[0], argv.data(), started.empty() ? environ : envp.data());
    return std::strerror(errno);
}

bool adoptOrphans() {
    return ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

std::size_t endRemainingChildren() {
    const pid_t self = ::getpid();
    std::size_t ended = 0;
    // Each round ends the children found; what they leave behind is ours by the next round.
    for (int round = 0; round < 64; ++round) {
        std::vector<pid_t> children;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
            // "pid (command) state ppid ...": the command may hold blanks and parentheses.
            const auto stat = readWholeFile(entry.path() / "stat");
            const auto close = stat ? stat->rfind(')') : std::string::npos;
            if (close == std::string::npos) continue;
            long parent = 0;
            if (std::sscanf(stat->c_str() + close + 1, " %*c %ld", &parent) == 1 &&
                parent == self) {
                children.push_back(static_cast<pid_t>(std::stol(name)));
            }
        }
        if (children.empty()) break;
        for (pid_t child : children) ::kill(child, SIGKILL);
        for (pid_t child : children) waitForExit(child);
        ended += children.size();
    }
    return ended;
}

}  // namespace suite
