#include "install/InstallFlow.h"

#include <ctime>

#include "catalog/Scan.h"
#include "download/Downloader.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"
#include "platform/Process.h"

namespace suite {

InstallFlow::InstallFlow(InstallSettings settings, InstallServices services, Send send,
                         Prompt prompt)
    : settings_(std::move(settings)),
      services_(services),
      page_(std::move(send)),
      send_([this](const Json& event) {
          page_(event);
          recordResult(event);
      }),
      prompt_(std::move(prompt)),
      history_(settings_.logDir),
      kept_(settings_.keptPackagesDir) {}

InstallFlow::~InstallFlow() {
    // A retry waiting on the queue would otherwise start a transfer nobody is there to finish.
    if (downloader_) downloader_->cancel();
}

std::optional<bool> InstallFlow::isInstalled(const InstallItem& item) const {
    const Json detection = detectionOf(item);
    if (!services_.packages.judgesAfterRun(detection)) return std::nullopt;
    return installedAtCatalogVersion(detection, services_.packages);
}

void InstallFlow::log(const std::string& message) const {
    appendInstallLog(settings_.logDir, message, std::time(nullptr));
}

void InstallFlow::reopen() {
    // A self package can be reported twice before the program has quit (the privileged run, then
    // the return check for a hand-off of the same item); a second waiting shell would start the
    // new version twice.
    if (relaunching_) return;
    relaunching_ = true;
    // The shell outlives this process and starts the new version only once this one has gone;
    // when it cannot be started the program still quits, without relaunching.
    if (auto program =
            relaunchProgram(services_.packages.installedProgram(), settings_.ownExecutable)) {
        startOnceEnded(ownProcessId(), *program);
    }
    services_.queue.postAfter(1.2, lifetime_.guard([this] { services_.shell.terminate(); }));
}

}  // namespace suite
