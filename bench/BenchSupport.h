#pragma once
// What every whole-process benchmark here needs: wall time, this process's memory marks, test
// files, the median of rounds, and timing a reference tool run on the same input.
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
inline long statusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// Starts the peak-RSS mark afresh at the current RSS (Linux 4.0 and later).
inline void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// `bytes` of data no compressor or deduplicator can shortcut.
inline void writeFile(const fs::path& path, std::uint64_t bytes) {
    std::vector<char> chunk(1 << 20);
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    for (auto& c : chunk) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        c = static_cast<char>(state);
    }
    std::ofstream out(path, std::ios::binary);
    for (std::uint64_t written = 0; written < bytes; written += chunk.size()) {
        const auto size =
            static_cast<std::streamsize>(std::min<std::uint64_t>(chunk.size(), bytes - written));
        chunk[0] = static_cast<char>(written >> 20);  // no two chunks alike
        out.write(chunk.data(), size);
    }
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds the command took, or nothing when it could not start or did not succeed. The program
// is looked up on PATH.
inline std::optional<double> timeCommand(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return seconds(start);
}

struct Comparison {
    double ours = 0, reference = 0;  // median seconds
    long growthKiB = 0;              // our side's largest peak-RSS growth over one run
};

// A warm-up of each side, then `rounds` alternating rounds. The warm-up counts for memory: it is
// where a client's own buffers first appear. Nothing when any run failed.
inline std::optional<Comparison> compareRounds(
    int rounds, const std::function<std::optional<double>()>& ours,
    const std::function<std::optional<double>()>& reference) {
    std::vector<double> oursTimes, referenceTimes;
    Comparison result;
    for (int round = -1; round < rounds; ++round) {
        const long before = statusKiB("VmRSS");
        resetPeak();
        auto mine = ours();
        result.growthKiB = std::max(result.growthKiB, statusKiB("VmHWM") - before);
        auto theirs = reference();
        if (!mine || !theirs) return std::nullopt;
        if (round < 0) continue;
        oursTimes.push_back(*mine);
        referenceTimes.push_back(*theirs);
    }
    result.ours = median(oursTimes);
    result.reference = median(referenceTimes);
    return result;
}

// The report of a transfer of `mib` MiB against a reference tool, with the targets.
inline void printTransferReport(const char* what, std::uint64_t mib, int rounds,
                                const char* oursLabel, const char* referenceLabel,
                                const Comparison& c, double target = 1.10) {
    const double mb = static_cast<double>(mib) * 1048576.0 / 1e6;
    std::printf("file                 %llu MiB %s 127.0.0.1, median of %d rounds\n",
                static_cast<unsigned long long>(mib), what, rounds);
    std::printf("%-20s %.3f s  %.0f MB/s\n", oursLabel, c.ours, mb / c.ours);
    std::printf("%-20s %.3f s  %.0f MB/s\n", referenceLabel, c.reference, mb / c.reference);
    std::printf("wall time ratio      %.3f (target <= %.2f)\n", c.ours / c.reference, target);
    std::printf("peak RSS growth      %.2f MiB (target <= 16 MiB)\n",
                static_cast<double>(c.growthKiB) / 1024.0);
}

}  // namespace bench
