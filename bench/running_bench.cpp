// What asking "is this product open" costs right before an install: one pass over this machine's
// process table for the 16 executables a catalog may name (none running, so every process is
// looked at), against one start of /bin/true in the same run, the cheapest thing the install that
// follows does many times over.
#include <dirent.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "backends/posix/ProcRunningPrograms.h"
#include "platform/Process.h"

namespace {

int processCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc")) {
        while (const dirent* entry = readdir(dir))
            count += entry->d_name[0] >= '1' && entry->d_name[0] <= '9';
        closedir(dir);
    }
    return count;
}

void BM_RunningCheck(benchmark::State& state) {
    std::vector<std::string> paths;
    for (int n = 0; n < 16; ++n) paths.push_back("/opt/talven/bench/program-" + std::to_string(n));
    suite::ProcRunningPrograms table;
    for (auto _ : state) benchmark::DoNotOptimize(table.running(paths));
    state.counters["processes"] = processCount();
}
BENCHMARK(BM_RunningCheck)->Unit(benchmark::kMicrosecond);

void BM_ProcessStartReference(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(suite::runProcess("/bin/true", {}));
}
BENCHMARK(BM_ProcessStartReference)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
