// The main thread while a large batch gets its results: the install flow on a real background
// thread, the Debian package system reading a dpkg status file of a desktop's size, and a
// privileged run that reports every package installed at once. Every task the main queue runs
// from the batch's first "password" progress to its last result is timed; the longest is the
// stall a user would see. The reference is what the flow did before the batch's installed checks
// moved to the run's thread: one database read per package, back to back, in one main-thread
// task. A report, not a test.
//
//     build/bench/bench_install_stall [--packages 512] [--desktop 5000] [--rounds 5]
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "backends/debian/DebianPackageSystem.h"
#include "catalog/Scan.h"
#include "fakes/FakePlatform.h"
#include "fakes/TempDir.h"
#include "install/InstallFlow.h"

using namespace suite;

namespace {

constexpr double kTargetMs = 16;

// A main queue run by hand on the bench's thread, which times every task it runs. Timers are
// kept by deadline on the steady clock, as the GLib loop keeps them.
class TimedQueue final : public MainQueue {
  public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(task));
        wake_.notify_one();
    }
    void postAfter(double seconds, Task task) override {
        std::lock_guard lock(mutex_);
        timers_.emplace(now() + std::max(seconds, 0.0), std::move(task));
        wake_.notify_one();
    }
    double now() const override {
        return std::chrono::duration<double>(bench::Clock::now().time_since_epoch()).count();
    }

    // Runs tasks as they come until `done` holds after one, or `limit` seconds have passed;
    // false on the limit.
    bool runUntil(const std::function<bool()>& done, double limit) {
        const double until = now() + limit;
        while (!done()) {
            Task task;
            {
                std::unique_lock lock(mutex_);
                for (;;) {
                    if (!ready_.empty()) {
                        task = std::move(ready_.front());
                        ready_.pop_front();
                        break;
                    }
                    const double at = now();
                    if (!timers_.empty() && timers_.begin()->first <= at) {
                        task = std::move(timers_.begin()->second);
                        timers_.erase(timers_.begin());
                        break;
                    }
                    if (at >= until) return false;
                    const double next =
                        timers_.empty() ? until : std::min(until, timers_.begin()->first);
                    wake_.wait_for(lock, std::chrono::duration<double>(next - at));
                }
            }
            const auto started = bench::Clock::now();
            task();
            durations.push_back(bench::seconds(started));
        }
        return true;
    }

    std::vector<double> durations;  // seconds, every task run, in order

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> ready_;
    std::multimap<double, Task> timers_;
};

// The Debian package system for everything it reads; its privileged run is replaced by one that
// reports every package installed at once, as the helper's dpkg run does at its end, without
// pkexec. The status file already shows them installed.
class InstantDebian final : public PackageSystem {
  public:
    explicit InstantDebian(const std::string& adminDir)
        : real_(debian::DebianPaths{.adminDir = adminDir}) {}
    std::string kind() const override { return real_.kind(); }
    bool isPackageFile(const std::filesystem::path& file) const override {
        return real_.isPackageFile(file);
    }
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override {
        const auto started = bench::Clock::now();
        auto found = real_.installedVersions(items);
        std::lock_guard lock(readsMutex_);
        ++reads;
        readSeconds += bench::seconds(started);
        return found;
    }
    // Database reads so far, and the time they took, on whatever thread.
    mutable int reads = 0;
    mutable double readSeconds = 0;
    int compareVersions(std::string_view a, std::string_view b) const override {
        return real_.compareVersions(a, b);
    }
    bool detects(const Json& item) const override { return real_.detects(item); }
    bool judgesAfterRun(const Json& item) const override { return real_.judgesAfterRun(item); }
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages, const std::string&,
                              const BatchProgress& progress) override {
        progress(BatchStep{});
        BatchOutcome outcome;
        for (std::size_t i = 0; i < packages.size(); ++i) {
            BatchStep finished;
            finished.kind = BatchStep::Kind::Finished;
            finished.index = i;
            finished.report = PackageReport::Installed;
            finished.version = packages[i].item.version;  // as the helper names it
            progress(finished);
            outcome.packages.push_back({.run = RunResult::Ran, .report = PackageReport::Installed});
        }
        return outcome;
    }
    bool reportsSteps() const override { return real_.reportsSteps(); }
    std::string handOffType() const override { return real_.handOffType(); }
    std::optional<std::string> installedProgram() const override { return std::nullopt; }
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }

  private:
    mutable std::mutex readsMutex_;
    debian::DebianPackageSystem real_;
};

std::string batchPackage(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "talven-stall-%03d", i);
    return name;
}

Json batchItem(int i) {
    return {{"id", "talven.stall." + std::to_string(i)},
            {"version", "2.4.1-1"},
            {"detect", {{"receipts", {batchPackage(i)}}}}};
}

// A dpkg status file of `paragraphs` installed packages: this machine's own paragraphs, repeated
// under new names until there are enough, with the batch's packages spread among them.
void writeStatus(const bench::fs::path& adminDir, int paragraphs, int batch) {
    std::ifstream in("/var/lib/dpkg/status");
    std::stringstream whole;
    whole << in.rdbuf();
    std::vector<std::string> own;
    for (std::string text = whole.str(); !text.empty();) {
        const auto end = text.find("\n\n");
        own.push_back(text.substr(0, end));
        text = end == std::string::npos ? "" : text.substr(end + 2);
    }
    if (own.empty()) own.push_back("Package: p\nStatus: install ok installed\nVersion: 1.0");
    std::ofstream out(adminDir / "status");
    const int stride = std::max(1, paragraphs / std::max(batch, 1));
    int placed = 0;
    for (int i = 0; i < paragraphs; ++i) {
        if (placed < batch && i % stride == 0) {
            out << "Package: " << batchPackage(placed++)
                << "\nStatus: install ok installed\nPriority: optional\nSection: utils\n"
                   "Installed-Size: 412\nMaintainer: TALVEN Packaging <pkg@brenlow.example>\n"
                   "Architecture: amd64\nVersion: 2.4.1-1\nDepends: libc6 (>= 2.34)\n"
                   "Description: a product of the batch\n the stall bench's own package\n\n";
            continue;
        }
        std::string paragraph = own[static_cast<std::size_t>(i) % own.size()];
        if (i >= static_cast<int>(own.size())) {
            const auto line = paragraph.find('\n');
            paragraph.insert(line == std::string::npos ? paragraph.size() : line,
                             "-copy" + std::to_string(i));
        }
        out << paragraph << "\n\n";
    }
    bench::fs::create_directories(adminDir / "updates");
}

struct Stall {
    double longest = 0, total = 0, wall = 0;
    std::size_t tasks = 0, longestAt = 0;  // longestAt: 0 is runInstallers itself
    int reads = 0;                         // database reads in the round, on any thread
    double readSeconds = 0;
};

// One batch from runInstallers to its last result, with every main-thread task timed.
Stall flowRound(InstantDebian& packages, const bench::fs::path& folder, int count) {
    TimedQueue queue;
    fakes::FakeHttpClient http;
    fakes::FakeLauncher launcher;
    fakes::FakeShell shell;
    fakes::FakeFileWatcher watcher;
    fakes::FakeRunningPrograms running;
    const bench::fs::path downloads = folder / "downloads";
    bench::fs::create_directories(downloads);
    std::vector<VerifiedPackage> batch;
    for (int i = 0; i < count; ++i) {
        const auto file = downloads / (batchPackage(i) + "_2.4.1-1_amd64.deb");
        std::ofstream(file) << "package " << i;
        const Json detection = batchItem(i);
        InstallItem item;
        item.id = detection["id"];
        item.version = detection["version"];
        item.detect = detection["detect"];
        batch.push_back({item, file});
    }
    int passwords = 0, results = 0, installed = 0;
    std::string page;  // the events as the bridge would hand them to the page
    Stall stall;
    const int readsBefore = packages.reads;
    const double readSecondsBefore = packages.readSeconds;
    {
        ThreadBackground background;
        InstallSettings settings;
        settings.downloadDir = downloads;
        settings.logDir = folder / "logs";
        InstallFlow flow(
            settings, {queue, background, http, launcher, shell, packages, watcher, running},
            [&](const Json& event) {
                page = event.dump();
                if (event["type"] == "progress" && event["phase"] == "password") ++passwords;
                if (event["type"] == "result") {
                    ++results;
                    if (event["ok"] == true) ++installed;
                }
            },
            [] { return std::string("TALVEN Suite wants to install updates."); });
        queue.post([&] { flow.runInstallers(std::move(batch)); });
        const auto started = bench::Clock::now();
        // Until the run's own end has been handled too, after the last result.
        if (!queue.runUntil([&] { return results == count && !flow.busy(); }, 600)) {
            std::fprintf(stderr, "install_stall: %d of %d results within 600 s\n", results, count);
            std::exit(1);
        }
        stall.wall = bench::seconds(started);
        // Background's destructor joins the run's thread before the queue goes.
    }
    if (passwords != count || installed != count) {
        std::fprintf(stderr, "install_stall: %d password events, %d of %d installed\n", passwords,
                     installed, count);
        std::exit(1);
    }
    stall.reads = packages.reads - readsBefore;
    stall.readSeconds = packages.readSeconds - readSecondsBefore;
    const auto longest = std::max_element(queue.durations.begin(), queue.durations.end());
    stall.longest = *longest;
    stall.longestAt = static_cast<std::size_t>(longest - queue.durations.begin());
    for (double d : queue.durations) stall.total += d;
    stall.tasks = queue.durations.size();
    return stall;
}

// The earlier shape: each package's installed check a database read of its own, all of them in
// the one main-thread task that settled the batch.
double perPackageReads(const InstantDebian& packages, int count) {
    const auto started = bench::Clock::now();
    int found = 0;
    for (int i = 0; i < count; ++i)
        found += installedAtCatalogVersion(batchItem(i), packages) == true;
    const double took = bench::seconds(started);
    if (found != count) {
        std::fprintf(stderr, "install_stall: the reference found %d of %d installed\n", found,
                     count);
        std::exit(1);
    }
    return took;
}

int intOption(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == name) return std::atoi(argv[i + 1]);
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = intOption(argc, argv, "--packages", 512);
    const int paragraphs = intOption(argc, argv, "--desktop", 5000);
    const int rounds = intOption(argc, argv, "--rounds", 5);
    fakes::TempDir dir;
    const bench::fs::path admin = dir / "dpkg";
    bench::fs::create_directories(admin);
    writeStatus(admin, paragraphs, count);
    InstantDebian packages(admin.string());

    double loadBefore[1] = {0};
    ::getloadavg(loadBefore, 1);
    // One uncounted round of each, so both find the status file in the page cache.
    flowRound(packages, dir / "warm", count);
    perPackageReads(packages, count);
    std::vector<double> longest, reference;
    for (int round = 0; round < rounds; ++round) {
        const auto folder = dir / ("round" + std::to_string(round));
        Stall stall;
        double old = 0;
        if (round % 2 == 0) {
            stall = flowRound(packages, folder, count);
            old = perPackageReads(packages, count);
        } else {
            old = perPackageReads(packages, count);
            stall = flowRound(packages, folder, count);
        }
        longest.push_back(stall.longest * 1e3);
        reference.push_back(old * 1e3);
        std::printf(
            "round %d: longest main-thread task %.2f ms (task %zu of %zu, %.1f ms in all, "
            "last result after %.2f s, %d reads of %.0f ms in all); per-package reads "
            "in one task %.0f ms\n",
            round + 1, stall.longest * 1e3, stall.longestAt, stall.tasks, stall.total * 1e3,
            stall.wall, stall.reads, stall.readSeconds * 1e3, old * 1e3);
    }
    double loadAfter[1] = {0};
    ::getloadavg(loadAfter, 1);
    const double ours = bench::median(longest), old = bench::median(reference);
    const auto status = bench::fs::file_size(admin / "status");
    std::printf(
        "\n%d packages, status file of %d paragraphs (%.1f MiB), median of %d rounds, "
        "load %.2f -> %.2f\n",
        count, paragraphs, static_cast<double>(status) / 1048576.0, rounds, loadBefore[0],
        loadAfter[0]);
    std::printf("longest main-thread task   %.2f ms (target <= %.0f ms)\n", ours, kTargetMs);
    std::printf("per-package reads, 1 task  %.0f ms (%.2f ms a read)\n", old, old / count);
    std::printf("ratio                      %.4f\n", ours / old);
    return 0;
}
