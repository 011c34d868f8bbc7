// SHA-256 of a large file already in the page cache: the program's digest against
// `openssl dgst -sha256` on the same file in the same run, plus how far the digest raises the
// process's peak memory (it should stay within one read chunk).
//
// bench_sha256 [MiB=1024] [rounds=3] [folder=$TMPDIR or /tmp]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/Digest.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

std::string openSslDigest(const fs::path& path) {
    const std::string command = "openssl dgst -sha256 -r '" + path.string() + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    char buffer[256] = {};
    std::string out = std::fgets(buffer, sizeof buffer, pipe) ? buffer : "";
    ::pclose(pipe);
    return out.substr(0, out.find(' '));
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder = argc > 3 ? fs::path(argv[3]) : fs::path(tmp ? tmp : "/tmp");
    const fs::path file = folder / ("talven-sha256-bench-" + std::to_string(::getpid()));
    const double bytes = static_cast<double>(mib) * 1048576.0;

    writeFile(file, mib << 20);
    // One pass of each first, so that both read from the page cache and neither pays for disk.
    const auto ours = suite::sha256Of(file);
    const std::string theirs = openSslDigest(file);
    if (!ours || *ours != theirs) {
        std::fprintf(stderr, "digests differ: %s vs %s\n", ours ? ours->c_str() : "none",
                     theirs.c_str());
        fs::remove(file);
        return 1;
    }

    double best = 1e9, bestReference = 1e9;
    long growthKiB = 0;
    for (int round = 0; round < rounds; ++round) {
        const long before = statusKiB("VmRSS");
        resetPeak();
        auto start = Clock::now();
        suite::sha256Of(file);
        best = std::min(best, seconds(start));
        growthKiB = std::max(growthKiB, statusKiB("VmHWM") - before);

        start = Clock::now();
        openSslDigest(file);
        bestReference = std::min(bestReference, seconds(start));
    }
    fs::remove(file);

    const double throughput = bytes / best / 1e6, reference = bytes / bestReference / 1e6;
    std::printf("file                 %llu MiB, best of %d rounds\n",
                static_cast<unsigned long long>(mib), rounds);
    std::printf("sha256Of             %.3f s  %.0f MB/s\n", best, throughput);
    std::printf("openssl dgst -sha256 %.3f s  %.0f MB/s\n", bestReference, reference);
    std::printf("throughput ratio     %.3f (target >= 0.95)\n", throughput / reference);
    std::printf("peak RSS growth      %.2f MiB (read chunk 1 MiB)\n",
                static_cast<double>(growthKiB) / 1024.0);
    return 0;
}
