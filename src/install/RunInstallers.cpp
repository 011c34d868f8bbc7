#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/AppDelegate.h"
#include "app/Settings.h"
#include "common/Files.h"
#include "common/Utf8.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"
#include "install/InstallScript.h"

namespace suite {

namespace {

// The folder that receives the installers' output during one run. It is made for that run alone
// and only its owner can enter it, so nobody can plant a link where the script, running as root,
// writes. It goes away with whatever it holds once the run's results are handled, or when the
// run is dropped unhandled.
class OutputFolder {
public:
    // Nothing, with the reason in `failure`, when no such folder can be made.
    static std::shared_ptr<OutputFolder> make(std::string& failure) {
        std::error_code error;
        auto base = std::filesystem::temp_directory_path(error);
        if (error) {
            failure = "no temporary folder: " + error.message();
            return nullptr;
        }
        std::string pattern = (base / "talven-suite-run-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
            failure = "cannot make a private output folder: " + std::string(std::strerror(errno));
            return nullptr;
        }
        return std::shared_ptr<OutputFolder>(new OutputFolder(std::move(pattern)));
    }

    ~OutputFolder() { remove(); }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const std::string& path() const { return path_; }

    void remove() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }

private:
    explicit OutputFolder(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// What the main thread keeps of one run between its start and its result handling.
struct RunState {
    std::vector<VerifiedPackage> packages;
    std::string outputFolder;  // empty when none could be made
    std::shared_ptr<OutputFolder> folder;
    bool handled = false;
};

}  // namespace

void AppDelegate::runInstallers(std::vector<VerifiedPackage> input) {
    PackageSelection selection = selectPackages(input);
    for (const auto& id : selection.withoutPackage) send(failureEvent(id, "install"));
    if (selection.packages.empty()) return;
    for (const auto& package : selection.packages) {
        send(progressEvent(itemId(package.item), "password"));
    }

    // One time stamp for the whole run, taken before the user is asked for anything.
    const std::string stamp = installTimeStamp(std::time(nullptr));
    InstallPaths paths = config_.installPaths;
    if (paths.appDirs.empty()) paths.appDirs = config_.detectPaths.appDirs;
    if (paths.home.empty()) paths.home = platform_.env.get("HOME").value_or("");

    auto run = std::make_shared<RunState>();
    run->packages = std::move(selection.packages);
    std::string folderFailure;
    run->folder = OutputFolder::make(folderFailure);
    std::string script;
    if (run->folder) {
        run->outputFolder = run->folder->path();
        script = buildInstallScript(run->packages, paths, run->outputFolder, stamp);
    }
    const std::string prompt = installPrompt(isArabic(lang()));

    // A run that has already ended (the request could not even be shown) must not put its
    // packages back into the "install" phase after their results.
    Task installPhase = guarded([run](AppDelegate& self) {
        if (run->handled) return;
        for (const auto& package : run->packages) {
            self.send(progressEvent(itemId(package.item), "install"));
        }
    });
    platform_.queue.postAfter(0.4, std::move(installPhase));

    std::function<void(PrivilegedOutcome)> deliver =
        guardedResult<PrivilegedOutcome>([run](AppDelegate& self, PrivilegedOutcome outcome) {
            run->handled = true;
            self.log(runLogLine(outcome.output, outcome.error));
            if (run->folder) {
                for (std::size_t i = 0; i < run->packages.size(); ++i) {
                    const std::string path = packageOutputPath(run->outputFolder, i);
                    auto text = readWholeFile(path);
                    if (text && isValidUtf8(*text)) self.log(packageLogLine(i, *text));
                    std::error_code ignored;
                    std::filesystem::remove(path, ignored);
                }
                run->folder->remove();
            }

            const auto lines = outputLines(outcome.output);
            for (std::size_t i = 0; i < run->packages.size(); ++i) {
                const auto& [item, file] = run->packages[i];
                const std::string id = itemId(item);
                if (packageSucceeded(self.isInstalled(item), lines, i)) {
                    self.send(successEvent(id, item));
                    std::error_code ignored;
                    std::filesystem::remove(file, ignored);
                    if (boolMember(item, "self") == true) {
                        // The program is about to quit; the new one reports on a fresh page.
                        self.reopen();
                        return;
                    }
                } else if (outcome.cancelled) {
                    self.send(failureEvent(id, "cancelled"));
                } else {
                    self.handOffPackage(id, item, file);
                }
            }
            // With a package in the desktop's installer, that window stays in front.
            if (self.handOff_.empty()) self.platform_.shell.activate();
        });

    MainQueue& queue = platform_.queue;
    PrivilegedRunner& runner = platform_.privileged;
    platform_.background.run([&queue, &runner, script = std::move(script), prompt,
                              failure = std::move(folderFailure), deliver = std::move(deliver)] {
        PrivilegedOutcome outcome;
        if (failure.empty()) {
            outcome = runner.run(script, prompt);
        } else {
            // Not started: without a private folder root would write where others can reach.
            outcome.error = failure;
        }
        queue.post([deliver, outcome = std::move(outcome)] { deliver(outcome); });
    });
}

}  // namespace suite
