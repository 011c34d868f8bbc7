// The user stops items of an install before they reach the privileged run. What has already
// been handed to the run, or to the desktop's installer, goes on: a package manager stopped
// half-way can leave the system worse off than either finishing or never starting.
#include <algorithm>
#include <system_error>
#include <utility>

#include "bridge/Events.h"
#include "install/InstallFlow.h"
#include "install/InstallLog.h"
#include "install/InstallResults.h"

namespace suite {

void InstallFlow::cancelRequested(const std::optional<Json>& id) {
    if (!id) return cancelAll();
    if (!id->is_string()) return log("cancel: ignored, its id is not text");
    cancel(id->get<std::string>());
}

void InstallFlow::cancel(const std::string& id) {
    if (cancelWhere([&](const std::string& candidate) { return candidate == id; }) == 0) {
        log("cancel: " + quotedForLog(id) +
            " is not waiting or downloading (being installed, done or unknown); nothing stopped");
    }
}

void InstallFlow::cancelAll() {
    cancelWhere([](const std::string&) { return true; });
}

std::size_t InstallFlow::cancelWhere(const std::function<bool(const std::string&)>& chosen) {
    std::size_t stopped = 0;
    auto stop = [&](const std::string& id, const std::string& where) {
        log("cancel: " + quotedForLog(id) + " cancelled " + where);
        send_(bridge::failureEvent(id, bridge::FailedAt::Cancelled,
                                   TransferFailure{TransferFailure::Kind::Cancelled}));
        ++stopped;
    };
    auto dropFrom = [&](std::vector<InstallItem>& items, const std::string& where) {
        std::erase_if(items, [&](const InstallItem& item) {
            if (!chosen(item.id)) return false;
            stop(item.id, where);
            return true;
        });
    };
    dropFrom(queue_, "while waiting");
    dropFrom(waiting_, "while waiting for the running install");
    if (!batch_) return stopped;

    // A package checked and waiting for the rest of its batch is removed: it is whole, so there
    // is no partial download for the next install to go on from, and nobody asked for it now.
    std::erase_if(batch_->verified, [&](const VerifiedPackage& package) {
        if (!chosen(package.item.id)) return false;
        std::error_code ignored;
        std::filesystem::remove(package.file, ignored);
        stop(package.item.id, "after its download was checked");
        return true;
    });
    if (downloading_ && chosen(*downloading_)) {
        // The downloader keeps the partial file and its validator; nothing of it calls back.
        downloader_->cancel();
        downloader_.reset();
        stop(*std::exchange(downloading_, std::nullopt),
             "while downloading; what it downloaded is kept for the next install");
        next(batch_);
    }
    return stopped;
}

}  // namespace suite
