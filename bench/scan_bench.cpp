// What a scan costs. macOS: 500 application items whose bundles are on disk (half XML, half binary
// property lists), and 20 receipt items answered by a stand-in package utility; a receipt query
// is one process start, so it is measured against bare starts in the same run. Debian: 1,000
// and 10 items whose receipts name Debian packages (half of them installed) in a copy of this
// machine's dpkg database, against one `dpkg-query -W` of the same names in the same run. RPM:
// the same counts in an RPM database under a temporary root, against one `rpm --root -q`.
#include <plist/plist.h>
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "backends/debian/DebianPackageSystem.h"
#include "backends/macos/MacPackageSystem.h"
#include "backends/macos/OsascriptRunner.h"
#include "backends/rpm/RpmPackageSystem.h"
#include "catalog/Scan.h"
#include "fakes/TestFiles.h"
#include "platform/Process.h"

namespace {

namespace fs = std::filesystem;
using suite::Json;

constexpr int kApps = 500;
constexpr int kReceipts = 20;

double peakRssMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports kilobytes
}

// An Info.plist of the size real ones have: identity, a few flags, some document types.
plist_t realisticInfo(int index) {
    auto text = [](const std::string& value) { return plist_new_string(value.c_str()); };
    plist_t info = plist_new_dict();
    std::string name = "Product " + std::to_string(index);
    std::string number = std::to_string(index);
    plist_dict_set_item(info, "CFBundleIdentifier", text("com.brenlow.product" + number));
    plist_dict_set_item(info, "CFBundleName", text(name));
    plist_dict_set_item(info, "CFBundleDisplayName", text(name));
    plist_dict_set_item(info, "CFBundleExecutable", text("Product"));
    plist_dict_set_item(info, "CFBundlePackageType", text("APPL"));
    plist_dict_set_item(info, "CFBundleShortVersionString",
                        text("3." + std::to_string(index % 17)));
    plist_dict_set_item(info, "CFBundleVersion", text(std::to_string(3000 + index)));
    plist_dict_set_item(info, "LSMinimumSystemVersion", text("10.13"));
    plist_dict_set_item(info, "NSHighResolutionCapable", plist_new_bool(1));
    plist_dict_set_item(info, "NSHumanReadableCopyright", text("Copyright 2024 Brenlow"));
    plist_t types = plist_new_array();
    for (int t = 0; t < 6; ++t) {
        plist_t type = plist_new_dict();
        plist_t extensions = plist_new_array();
        plist_array_append_item(extensions, text("ext" + std::to_string(t)));
        plist_dict_set_item(type, "CFBundleTypeExtensions", extensions);
        plist_dict_set_item(type, "CFBundleTypeName", text("Document " + std::to_string(t)));
        plist_dict_set_item(type, "CFBundleTypeRole", text("Editor"));
        plist_array_append_item(types, type);
    }
    plist_dict_set_item(info, "CFBundleDocumentTypes", types);
    return info;
}

void writeFile(const fs::path& path, const char* bytes, std::size_t length) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes, static_cast<std::streamsize>(length));
}

void writePlist(const fs::path& path, plist_t root, bool binary) {
    char* bytes = nullptr;
    uint32_t length = 0;
    if (binary) {
        plist_to_bin(root, &bytes, &length);
    } else {
        plist_to_xml(root, &bytes, &length);
    }
    writeFile(path, bytes, length);
    std::free(bytes);
    plist_free(root);
}

// The machine the scans look at, built once for the whole run.
struct Fixture {
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "talven-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        fs::path system = root / "Applications";
        fs::path user = root / "home" / "Applications";
        // XML bundles in the first folder; binary ones in the second, so each of them also
        // costs the miss in the first.
        for (int i = 0; i < kApps; ++i) {
            bool binary = i % 2 == 1;
            std::string name = "Product" + std::to_string(i) + ".app";
            writePlist((binary ? user : system) / name / "Contents" / "Info.plist",
                       realisticInfo(i), binary);
            apps.push_back({{"id", "product" + std::to_string(i)},
                            {"group", "app"},
                            {"version", "3.0"},
                            {"detect", {{"apps", {name}}}}});
        }

        plist_t receipt = plist_new_dict();
        plist_dict_set_item(receipt, "pkgid", plist_new_string("com.brenlow.addin"));
        plist_dict_set_item(receipt, "pkg-version", plist_new_string("2.4.1"));
        plist_dict_set_item(receipt, "install-location", plist_new_string("/"));
        plist_dict_set_item(receipt, "volume", plist_new_string("/"));
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(receipt, &xml, &length);
        std::string answer(xml, length);  // holds no single quote
        std::free(xml);
        plist_free(receipt);
        // The answer is printed by the shell itself: one process per query, as the real tool.
        pkgutil = suite::fakes::writeScript(
            root / "pkgutil", "case \"$2\" in\n  com.brenlow.*) printf '%s' '" + answer +
                                  "' ;;\n  *) exit 1 ;;\nesac\n");
        for (int i = 0; i < kReceipts; ++i) {
            std::string identifier = "com.brenlow.addin" + std::to_string(i);
            receipts.push_back({{"id", "addin" + std::to_string(i)},
                                {"group", "addin"},
                                {"detect", {{"receipts", {identifier}}}}});
        }

        suite::DetectPaths paths;
        paths.appDirs = {system.string(), user.string()};
        paths.pkgutil = pkgutil.string();
        mac = std::make_unique<suite::MacPackageSystem>(paths, suite::InstallPaths{}, noRights);
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path root;
    fs::path pkgutil;
    std::vector<Json> apps;
    std::vector<Json> receipts;
    suite::OsascriptRunner noRights{"/nonexistent/osascript"};  // a scan never installs
    std::unique_ptr<suite::MacPackageSystem> mac;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double msPerItem(double seconds, const benchmark::State& state, int items) {
    return seconds * 1000 / (static_cast<double>(state.iterations()) * items);
}

void BM_ScanApplications(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        Json event = suite::scannedEvent(f.apps, *f.mac);
        seconds += secondsSince(start);
        if (event["installed"].size() != kApps) state.SkipWithError("not every bundle was found");
        benchmark::DoNotOptimize(event);
    }
    state.counters["ms_per_item"] = msPerItem(seconds, state, kApps);
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_ScanApplications)->Unit(benchmark::kMillisecond)->UseRealTime();

double secondsFor(int runs, const std::string& executable, const std::vector<std::string>& args) {
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i) benchmark::DoNotOptimize(suite::runProcess(executable, args));
    return secondsSince(start);
}

// The scan of receipt items, and beside it, in the same run, the same number of bare starts of
// /bin/true and of the stand-in utility itself: a query should cost about one start of it.
void BM_ScanReceipts(benchmark::State& state) {
    Fixture& f = fixture();
    double scanSeconds = 0;
    double trueSeconds = 0;
    double utilitySeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        Json event = suite::scannedEvent(f.receipts, *f.mac);
        scanSeconds += secondsSince(start);
        if (event["installed"].size() != kReceipts) state.SkipWithError("receipts not answered");
        state.PauseTiming();
        trueSeconds += secondsFor(kReceipts, "/bin/true", {});
        utilitySeconds +=
            secondsFor(kReceipts, f.pkgutil.string(), {"--pkg-info-plist", "com.brenlow.addin0"});
        state.ResumeTiming();
    }
    state.counters["ms_per_item"] = msPerItem(scanSeconds, state, kReceipts);
    state.counters["ms_per_bare_true"] = msPerItem(trueSeconds, state, kReceipts);
    state.counters["x_bare_true"] = scanSeconds / trueSeconds;
    state.counters["x_bare_utility"] = scanSeconds / utilitySeconds;
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_ScanReceipts)->Unit(benchmark::kMillisecond)->UseRealTime();

// This machine's dpkg database with `installed` more packages in it, and items for twice as many
// names: every other one installed.
struct DebianFixture {
    explicit DebianFixture(int items) {
        std::string pattern = (fs::temp_directory_path() / "talven-bench-dpkg-XXXXXX").string();
        admin = ::mkdtemp(pattern.data());
        fs::create_directories(admin / "info");
        fs::create_directories(admin / "updates");
        std::ofstream(admin / "available");
        fs::copy_file("/var/lib/dpkg/status", admin / "status");
        std::ofstream status(admin / "status", std::ios::app);
        for (int i = 0; i < items; ++i) {
            const std::string name = "talven-bench-" + std::to_string(i);
            names.push_back(name);
            this->items.push_back({{"id", name},
                                   {"group", "app"},
                                   {"version", "2.0"},
                                   {"detect", {{"receipts", {name}}}}});
            if (i % 2 == 1) continue;
            status << "Package: " << name << "\nStatus: install ok installed\nPriority: optional\n"
                   << "Section: misc\nInstalled-Size: 100\nMaintainer: Bench <b@brenlow.example>\n"
                   << "Architecture: all\nVersion: 1." << i << "-1\nDescription: a product\n"
                   << " installed for the benchmark\n\n";
        }
    }
    ~DebianFixture() {
        std::error_code ignored;
        fs::remove_all(admin, ignored);
    }
    fs::path admin;
    std::vector<std::string> names;
    std::vector<Json> items;
};

// Each iteration scans `items` as the program does and, untimed by the benchmark but timed here,
// runs the package system's own query of the same names once; the counters give both and their
// ratio, `x_<name>`.
void scanAgainstQuery(benchmark::State& state, const std::vector<Json>& items,
                      const suite::PackageSystem& packages, std::size_t installed,
                      const std::string& tool, const std::vector<std::string>& query,
                      const std::string& name) {
    double scanSeconds = 0;
    double querySeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        Json event = suite::scannedEvent(items, packages);
        scanSeconds += secondsSince(start);
        if (event["installed"].size() != installed) {
            state.SkipWithError("not every installed package was found");
        }
        state.PauseTiming();
        querySeconds += secondsFor(1, tool, query);
        state.ResumeTiming();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["ms_per_scan"] = scanSeconds * 1000 / iterations;
    state.counters["ms_per_" + name] = querySeconds * 1000 / iterations;
    state.counters["x_" + name] = scanSeconds / querySeconds;
}

void BM_ScanDebian(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    DebianFixture f(count);
    suite::debian::DebianPackageSystem debian({.adminDir = f.admin.string()});
    std::vector<std::string> query = {"--admindir=" + f.admin.string(), "-W", "-f",
                                      "${Package} ${Status} ${Version}\n"};
    query.insert(query.end(), f.names.begin(), f.names.end());
    scanAgainstQuery(state, f.items, debian, static_cast<std::size_t>(count / 2),
                     "/usr/bin/dpkg-query", query, "dpkg_query");
}
BENCHMARK(BM_ScanDebian)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// rpm's database where RPM systems keep it, /var/lib/rpm, for this process and the rpm it starts.
// Debian's rpm keeps it in the home folder, a path its configuration finds by starting a shell
// (`%(echo $HOME)`) each time a database is opened, which a Fedora or openSUSE system never does.
// rpm reads the user's macros from $HOME, so HOME points at a folder holding only that line.
void keepRpmDatabaseWhereRpmSystemsDo() {
    struct Home {
        Home() {
            std::string pattern = (fs::temp_directory_path() / "talven-bench-home-XXXXXX").string();
            folder = ::mkdtemp(pattern.data());
            std::ofstream(folder / ".rpmmacros") << "%_dbpath /var/lib/rpm\n";
            ::setenv("HOME", folder.c_str(), 1);
        }
        ~Home() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
        fs::path folder;
    };
    static Home home;
}

// An RPM database under a temporary root holding every other one of `items` names, so that this
// machine's own rpm database (root's home on Debian) is never opened. The packages are real ones:
// the subpackages of one .spec file, one per installed name, built in one rpmbuild run (a build
// per package would take minutes), and recorded in the database as rpm installs them, without
// their files.
struct RpmFixture {
    explicit RpmFixture(int items) {
        keepRpmDatabaseWhereRpmSystemsDo();
        std::string pattern = (fs::temp_directory_path() / "talven-bench-rpm-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        root = dir / "root";
        fs::create_directories(root);
        std::ofstream buildFile(dir / "bench.spec");
        buildFile << "Name: talven-bench\nVersion: 1\nRelease: 1\nSummary: products\nLicense: MIT\n"
                  << "BuildArch: noarch\n%description\nproducts\n";
        for (int i = 0; i < items; ++i) {
            const std::string name = "talven-bench-" + std::to_string(i);
            names.push_back(name);
            this->items.push_back({{"id", name},
                                   {"group", "app"},
                                   {"version", "2.0"},
                                   {"detect", {{"receipts", {name}}}}});
            if (i % 2 == 1) continue;
            buildFile << "%package -n " << name << "\nVersion: 1." << i << "\nSummary: a product\n"
                      << "%description -n " << name << "\ninstalled for the benchmark\n%files -n "
                      << name << "\n";
        }
        buildFile.close();
        const std::string top = (dir / "top").string();
        // rpmbuild is pointed at a database of its own, in case it looks at one.
        if (!ran("/usr/bin/rpmbuild",
                 {"-bb", "--quiet", "--define", "_topdir " + top, "--dbpath",
                  (dir / "build-db").string(), (dir / "bench.spec").string()})) {
            return;
        }
        std::vector<std::string> install = {"--root", root.string(), "-i", "--justdb", "--nodeps"};
        for (const auto& file : fs::directory_iterator(dir / "top" / "RPMS" / "noarch")) {
            install.push_back(file.path().string());
        }
        if (!ran("/usr/bin/rpm", {"--root", root.string(), "--initdb"})) return;
        ran("/usr/bin/rpm", install);
    }
    ~RpmFixture() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    bool ran(const std::string& tool, const std::vector<std::string>& arguments) {
        suite::ProcessOptions options;
        options.mergeStandardError = true;
        auto run = suite::runProcess(tool, arguments, options);
        if (!run || run->exitStatus != 0) {
            error = tool + " failed: " + (run ? run->standardOutput : "cannot start it");
            return false;
        }
        return true;
    }
    fs::path dir;
    fs::path root;
    std::vector<std::string> names;
    std::vector<Json> items;
    std::string error;
};

void BM_ScanRpm(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    RpmFixture f(count);
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    suite::rpm::RpmPackageSystem rpm({.root = f.root.string()});
    std::vector<std::string> query = {"--root", f.root.string(), "-q"};
    query.insert(query.end(), f.names.begin(), f.names.end());
    scanAgainstQuery(state, f.items, rpm, static_cast<std::size_t>((count + 1) / 2), "/usr/bin/rpm",
                     query, "rpm_query");
}
BENCHMARK(BM_ScanRpm)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessStart(benchmark::State& state) {
    double seconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(suite::runProcess("/bin/true", {}));
        seconds += secondsSince(start);
    }
    state.counters["ms_per_item"] = msPerItem(seconds, state, 1);
}
BENCHMARK(BM_ProcessStart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
