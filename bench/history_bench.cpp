// What the install history costs the main thread, where it is written and read: one record on a
// file kept at its bound (the reads before each append and the cuts included, spread over many
// records) and one full read for the page, against one install-log line appended in the same
// run, the cheapest write the flow already makes at each result.
//
// bench_history [records=2000] [folder=$TMPDIR or /tmp]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "install/History.h"
#include "install/InstallLog.h"

int main(int argc, char** argv) {
    using namespace bench;
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder = (argc > 2 ? fs::path(argv[2]) : fs::path(tmp ? tmp : "/tmp")) /
                            ("talven-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const suite::HistoryFile history(folder);
    // A long failure, as the bridge cuts its detail: the heaviest line the history holds.
    suite::HistoryEntry entry{.time = 1796455812,
                              .id = "talven.presenter",
                              .from = "4.1.0-1",
                              .to = "4.2.0-1",
                              .kind = "deb",
                              .result = "failed",
                              .error = "install",
                              .reason = "dependency",
                              .detail = std::string(300, 'x')};
    // Past the first cut, so every record below meets a file between its bound and twice it.
    for (std::size_t i = 0; i < 2 * suite::HistoryFile::kKeep; ++i) history.record(entry);

    auto start = Clock::now();
    for (int i = 0; i < records; ++i) history.record(entry);
    const double perRecord = seconds(start) / records;
    start = Clock::now();
    for (int i = 0; i < records; ++i) suite::appendInstallLog(folder, "package 0: done", 0);
    const double perLogLine = seconds(start) / records;
    double perRead = 1e9;
    std::size_t entries = 0;
    for (int round = 0; round < 20; ++round) {
        start = Clock::now();
        entries = history.newestFirst().size();
        perRead = std::min(perRead, seconds(start));
    }
    const auto fileBytes = fs::file_size(history.path());
    fs::remove_all(folder);

    std::printf("history record         %.1f us (mean of %d, cuts included)\n", perRecord * 1e6,
                records);
    std::printf("install log line       %.1f us (reference)\n", perLogLine * 1e6);
    std::printf("record / log line      %.1f\n", perRecord / perLogLine);
    std::printf("full read for the page %.1f us (%zu entries, %zu bytes on disk, best of 20)\n",
                perRead * 1e6, entries, static_cast<std::size_t>(fileBytes));
    return 0;
}
