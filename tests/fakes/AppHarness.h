#pragma once
// An application delegate on fake platform pieces, a manual main queue and a temporary folder.
#include <fstream>
#include <memory>

#include "app/AppDelegate.h"
#include "backends/macos/MacPackageSystem.h"
#include "fakes/FakePlatform.h"
#include "fakes/LinuxConfig.h"
#include "fakes/TempDir.h"
#include "platform/ManualMainQueue.h"

namespace suite::fakes {

// Keeps each background task until the test runs it: the privileged run waits at its prompt.
struct HeldBackground : Background {
    void run(Task task) override { tasks.push_back(std::move(task)); }
    // Runs the oldest task held and what it posted; false when none is held.
    bool runFirst(ManualMainQueue& queue) {
        if (tasks.empty()) return false;
        Task task = std::move(tasks.front());
        tasks.erase(tasks.begin());
        task();
        queue.runReady();
        return true;
    }
    std::vector<Task> tasks;
};

struct AppHarness {
    explicit AppHarness(bool demo = false, bool hidden = false) : launch(launchIn(dir.path())) {
        launch.isDemo = demo;
        launch.startHidden = hidden;
        std::filesystem::create_directories(dir / "web");
        std::ofstream(dir / "web" / "index.html") << "<!doctype html>";
    }

    AppDelegate& start() {
        return startWith([](AppConfig&) {}, http);
    }

    // Starts with changes to the configuration and another HTTP client (e.g. the real one). The
    // package system is `packages` when set, otherwise the macOS one on `detectPaths`,
    // `installPaths` and `privileged`.
    AppDelegate& startWith(const std::function<void(AppConfig&)>& configure, HttpClient& client,
                           Background* threads = nullptr, PackageSystem* packages = nullptr) {
        AppConfig config = linuxConfig(dir / "web");
        config.ownExecutable = dir / "talven-suite";
        configure(config);
        mac = std::make_unique<MacPackageSystem>(detectPaths, installPaths, privileged);
        delegate = std::make_unique<AppDelegate>(
            launch, config,
            Platform{queue, shell, system, env, client, threads ? *threads : inlineBackground,
                     packages ? *packages : *mac, launcher, notifier, filePicker, fileTypes,
                     fileTypes, fileWatcher, running, conditions});
        delegate->applicationDidFinishLaunching();
        return *delegate;
    }

    // An application bundle in the first application folder, as the macOS rules read it.
    void installBundle(const std::string& name, const std::string& version = "2.0") {
        std::filesystem::create_directories(dir / "Applications" / name / "Contents");
        std::ofstream(dir / "Applications" / name / "Contents" / "Info.plist")
            << "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>"
            << version << "</string></dict></plist>\n";
    }
    // A verified package file in the download folder.
    VerifiedPackage package(InstallItem item, const std::string& fileName) {
        std::ofstream(launch.cacheDir / fileName) << "package " << fileName;
        return {std::move(item), launch.cacheDir / fileName};
    }

    // The page's "install" of `items`, read as the bridge reads it.
    void install(std::vector<Json> items) {
        delegate->userContentController({{"type", "install"}, {"items", std::move(items)}});
    }

    std::filesystem::path settingsFile() const { return launch.supportDir / "settings.json"; }
    FakeWindow& window() { return *shell.window; }
    std::vector<Json> events() { return window().web.events(); }

    TempDir dir;
    LaunchValues launch;
    ManualMainQueue queue;
    FakeShell shell;
    FakeSystemSettings system;
    FakeEnvironment env;
    FakeHttpClient http;
    InlineBackground inlineBackground;
    FakePrivilegedRunner privileged;
    DetectPaths detectPaths{{(dir / "Applications").string()}, "/nonexistent/pkgutil"};
    InstallPaths installPaths{
        .tempFolder = (dir / "tmp").string(), .appDirs = {}, .home = (dir / "home").string()};
    std::unique_ptr<MacPackageSystem> mac;
    FakeLauncher launcher;
    FakeNotifier notifier;
    FakeFilePicker filePicker;
    FakeFileTypes fileTypes;  // also the thumbnailer
    FakeFileWatcher fileWatcher;
    FakeRunningPrograms running;
    FakeUpdateConditions conditions;
    std::unique_ptr<AppDelegate> delegate;
};

}  // namespace suite::fakes
