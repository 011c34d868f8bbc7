// The first half of an install: the chosen items one after another, each checked, downloaded
// into the download folder and verified, then the verified packages to the privileged run in one
// batch, so the user is asked for a password once.
#include <chrono>
#include <iterator>
#include <set>
#include <system_error>

#include "bridge/Events.h"
#include "download/Downloader.h"
#include "download/PartialDownload.h"
#include "install/InstallFlow.h"
#include "install/InstallResults.h"

namespace suite {

namespace {

// `name`, or, when that name is taken (by the batch, or by a package with the desktop's
// installer), "stem-2.ext", "stem-3.ext", ...: no download overwrites a package that is still
// somebody's to install.
std::string unusedName(const std::string& name, const std::set<std::string>& taken) {
    if (!taken.contains(name)) return name;
    const std::filesystem::path path(name);
    const std::string stem = path.stem().string(), extension = path.extension().string();
    for (int n = 2;; ++n) {
        std::string candidate = stem + "-" + std::to_string(n) + extension;
        if (!taken.contains(candidate)) return candidate;
    }
}

}  // namespace

void InstallFlow::install(InstallRequest request) {
    windowShown_ = nullptr;
    // The user asked: a batch that was only being prepared installs, behind its one prompt.
    if (batch_) batch_->prepared = nullptr;
    auto& items = request.items;
    for (const auto& item : items) askedVersions_[item.id] = item.version;
    if (services_.packages.kind().empty()) {
        // Nothing is downloaded that could never be installed.
        if (!items.empty() || !request.refused.empty()) {
            log("installer: this system has no package installer the program can use");
        }
        for (const auto& item : items)
            send_(bridge::failureEvent(item.id, bridge::FailedAt::Install));
        for (const auto& id : request.refused)
            send_(bridge::failureEvent(id, bridge::FailedAt::Install));
        return;
    }
    for (const auto& note : request.notes) log(note);
    holdBackOpen(items);
    // Refused before any traffic: what could not be read cannot be downloaded safely.
    for (const auto& id : request.refused) {
        send_(bridge::failureEvent(id, bridge::FailedAt::Download,
                                   TransferFailure{TransferFailure::Kind::Refused}));
    }
    if (batch_ || runInProgress_) {
        auto& pending = batch_ ? queue_ : waiting_;
        pending.insert(pending.end(), std::make_move_iterator(items.begin()),
                       std::make_move_iterator(items.end()));
        return;
    }
    queue_ = std::move(items);
    batch_ = std::make_shared<Batch>();
    next(batch_);
}

void InstallFlow::prepare(InstallRequest request, Prepared prepared) {
    if (busy() || services_.packages.kind().empty()) return;
    for (const auto& note : request.notes) log(note);
    for (const auto& id : request.refused) log("prepare: " + id + " is not downloaded: unreadable");
    queue_ = std::move(request.items);
    batch_ = std::make_shared<Batch>();
    batch_->prepared = std::move(prepared);
    next(batch_);
}

std::optional<VerifiedPackage> InstallFlow::takePrepared(const InstallItem& item) {
    auto found = prepared_.find(item.id);
    if (found == prepared_.end()) return std::nullopt;
    VerifiedPackage package = std::move(found->second);
    prepared_.erase(found);
    // The privileged run checks the file again against the signed catalog; this only spares a
    // download of what is already here.
    std::error_code error;
    if (package.item.sha256 != item.sha256 || item.sha256.empty() ||
        !std::filesystem::is_regular_file(package.file, error)) {
        std::filesystem::remove(package.file, error);
        return std::nullopt;
    }
    return VerifiedPackage{item, std::move(package.file)};
}

void InstallFlow::next(std::shared_ptr<Batch> batch) {
    while (!queue_.empty()) {
        InstallItem item = std::move(queue_.front());
        queue_.erase(queue_.begin());
        if (auto ready = takePrepared(item)) {
            log("download: " + item.id + " was downloaded and verified before");
            send_(bridge::progressEvent(item.id, "verify"));
            batch->files.insert(ready->file.filename().string());
            batch->verified.push_back(std::move(*ready));
            continue;
        }
        auto job = jobFor(item, *batch);
        return startDownload(std::move(batch), std::move(item), std::move(job));
    }
    batch_.reset();
    if (batch->prepared) {
        std::vector<InstallItem> items;
        for (auto& package : batch->verified) {
            items.push_back(package.item);
            prepared_.insert_or_assign(package.item.id, std::move(package));
        }
        batch->prepared(std::move(items));
        if (!batch_ && !runInProgress_) afterRun();
        return;
    }
    runInstallers(std::move(batch->verified));
    if (!runInProgress_) afterRun();
}

DownloadJob InstallFlow::jobFor(const InstallItem& item, Batch& batch) const {
    // The desktop's installer may read a handed-off file by its name at any time until it
    // closes; a download of this batch replacing it would have it install something else than
    // what it was given.
    std::set<std::string> taken = batch.files;
    for (const auto& [id, entry] : handOff_) taken.insert(entry.file.filename().string());
    for (const auto& entry : superseded_) taken.insert(entry.file.filename().string());
    for (const auto& [id, package] : prepared_) taken.insert(package.file.filename().string());
    const std::string name = unusedName(item.file, taken);
    batch.files.insert(name);
    return DownloadJob{.urls = item.urls,
                       .dest = settings_.downloadDir / name,
                       .size = item.size,
                       .sha256 = item.sha256};
}

void InstallFlow::startDownload(std::shared_ptr<Batch> batch, InstallItem item, DownloadJob job) {
    const std::string id = item.id;
    // The cache folder is the desktop's to clear at any time; a missing one is not a failure.
    std::error_code ignored;
    if (std::filesystem::create_directories(settings_.downloadDir, ignored)) {
        std::filesystem::permissions(settings_.downloadDir, std::filesystem::perms::owner_all,
                                     ignored);
    }
    send_(bridge::progressEvent(id, "download", 0));
    downloader_ = Downloader::create(services_.http, services_.queue,
                                     {.timeoutSeconds = settings_.downloadTimeoutSeconds,
                                      .retryDelays = settings_.downloadRetryDelays,
                                      .userAgent = settings_.userAgent});
    downloader_->onProgress = lifetime_.guard<double>(
        [this, id](double pct) { send_(bridge::progressEvent(id, "download", pct)); });
    downloader_->onResumed =
        lifetime_.guard<double>([this, id](double pct) { send_(bridge::resumedEvent(id, pct)); });
    downloader_->onDone = lifetime_.guard<DownloadResult>(
        [this, batch, item = std::move(item)](DownloadResult result) {
            downloaded(batch, item, std::move(result));
        });
    downloading_ = id;
    downloader_->start(std::move(job));
}

void InstallFlow::downloaded(std::shared_ptr<Batch> batch, const InstallItem& item,
                             DownloadResult result) {
    const std::string& id = item.id;
    downloading_.reset();
    if (!result) {
        const DownloadError& error = result.error();
        const std::string reason = bridge::reasonWord(error.reason);
        log("download: " + id + " failed (" + reason + ")" +
            (!error.message.empty() && error.message != reason ? ": " + error.message : ""));
        // A package that is not the catalog's is the check's failure, not the network's, and
        // the page shows the check's phase before its result.
        const bool digest = error.reason.kind == TransferFailure::Kind::Digest;
        if (digest) send_(bridge::progressEvent(id, "verify"));
        send_(bridge::failureEvent(
            id, digest ? bridge::FailedAt::Check : bridge::FailedAt::Download, reason));
        return next(batch);
    }
    // The digest was taken as the bytes arrived; the phase still shows, however briefly.
    send_(bridge::progressEvent(id, "verify"));
    batch->verified.push_back({item, *result});
    next(batch);
}

void InstallFlow::tidyDownloads() {
    tidyDownloadFolder(settings_.downloadDir, std::chrono::hours(7 * 24));
}

}  // namespace suite
