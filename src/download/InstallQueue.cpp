// The install queue: the chosen items one after another, each checked, downloaded into the
// download folder and verified, then the verified packages to the privileged run in one batch,
// so the user is asked for a password once.
#include <iterator>
#include <system_error>

#include "app/AppDelegate.h"
#include "download/DownloadPolicy.h"
#include "download/Downloader.h"
#include "download/InstallRun.h"
#include "download/PackageVerification.h"

namespace suite {

namespace {

Json progressEvent(const std::string& id, const char* phase, Json pct) {
    return {{"type", "progress"}, {"id", id}, {"phase", phase}, {"pct", std::move(pct)}};
}

Json failureEvent(const std::string& id, const char* error) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", error}};
}

}  // namespace

void AppDelegate::install(std::vector<Json> items) {
    if (installRun_) {
        // One run at a time: a second request joins the running one, so the whole batch still
        // gets one password prompt and one script, and every item exactly one result.
        queue_.insert(queue_.end(), std::make_move_iterator(items.begin()),
                      std::make_move_iterator(items.end()));
        return;
    }
    queue_ = std::move(items);
    installRun_ = std::make_shared<InstallRun>();
    next(installRun_);
}

void AppDelegate::next(std::shared_ptr<InstallRun> run) {
    // Refused items are skipped in a loop, not by calling this again, and leave the queue in one
    // erase: a long list of them must neither grow the stack nor take quadratic time.
    std::size_t taken = 0;
    while (taken < queue_.size()) {
        Json item = std::move(queue_[taken++]);
        const std::string id = stringMember(item, "id").value_or("");
        const auto url = stringMember(item, "url");
        const auto file = stringMember(item, "file");
        if (!url ||
            !isAcceptableDownloadUrl(*url, config_.vendorHost, config_.allowPlainHttpDownloadsToLoopback) ||
            !file || !isAcceptableFileName(*file)) {
            send(failureEvent(id, "download"));
            continue;
        }
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(taken));

        // The cache folder is the desktop's to clear at any time; a missing one is not a failure.
        std::error_code ignored;
        std::filesystem::create_directories(launch_.cacheDir, ignored);

        send(progressEvent(id, "download", 0));
        downloader_ =
            Downloader::create(platform_.http, platform_.queue, config_.downloadTimeoutSeconds);
        downloader_->onProgress = guardedResult<double>(
            [id](AppDelegate& self, double pct) { self.send(progressEvent(id, "download", pct)); });
        std::weak_ptr<AppDelegate*> weak = alive_;
        downloader_->onDone = [weak, id, item = std::move(item), run](
                                  std::optional<std::filesystem::path> downloaded,
                                  std::optional<DownloadError>) {
            auto alive = weak.lock();
            if (!alive) return;
            AppDelegate& self = **alive;
            if (!downloaded) {
                self.send(failureEvent(id, "download"));
                return self.next(run);
            }
            self.send(progressEvent(id, "verify", 100));
            auto verdict = self.guardedResult<bool>(
                [id, item, file = *downloaded, run](AppDelegate& self, bool verified) {
                    if (verified) {
                        run->verified.push_back({item, file});
                    } else {
                        std::error_code ignored;
                        std::filesystem::remove(file, ignored);
                        self.send(failureEvent(id, "check"));
                    }
                    self.next(run);
                });
            // The digest runs on its own copies; only the verdict comes back to the main thread.
            self.platform_.background.run([&queue = self.platform_.queue, file = *downloaded,
                                           expected = stringMember(item, "sha256"),
                                           verdict = std::move(verdict)]() mutable {
                const bool verified = verifyPackage(file, expected);
                queue.post([verdict = std::move(verdict), verified] { verdict(verified); });
            });
        };
        downloader_->start(*url, launch_.cacheDir / *file);
        return;
    }
    queue_.clear();
    installRun_.reset();
    runInstallers(std::move(run->verified));
}

}  // namespace suite
