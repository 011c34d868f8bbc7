// The first half of an install: the chosen items one after another, each checked, downloaded
// into the download folder and verified, then the verified packages to the privileged run in one
// batch, so the user is asked for a password once.
#include <chrono>
#include <cstdint>
#include <iterator>
#include <set>
#include <system_error>

#include "bridge/Events.h"
#include "common/Ascii.h"
#include "download/DownloadPolicy.h"
#include "download/Downloader.h"
#include "download/PartialDownload.h"
#include "install/InstallFlow.h"
#include "install/InstallResults.h"
#include "platform/InstallerRecords.h"

namespace suite {

namespace {

// The package's size in bytes as the catalog gives it: what bounds its download.
std::optional<std::uint64_t> sizeMember(const Json& item) {
    const auto found = item.find("size");
    if (found == item.end() || !found->is_number_integer()) return std::nullopt;
    if (found->is_number_unsigned()) return found->get<std::uint64_t>();
    const auto size = found->get<std::int64_t>();
    return size >= 0 ? std::optional<std::uint64_t>(size) : std::nullopt;
}

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

void InstallFlow::install(std::vector<Json> items) {
    if (services_.packages.kind().empty()) {
        // Nothing is downloaded that could never be installed.
        if (!items.empty()) {
            log("installer: this system has no package installer the program can use");
        }
        for (const auto& item : items) send_(bridge::failureEvent(itemId(item), "install"));
        return;
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

// The catalog's address and then its mirrors, each held to the same rule; nothing when the
// catalog's own address is not acceptable. A mirror that is not is left out: the others may serve.
std::optional<std::vector<std::string>> InstallFlow::addressesOf(const Json& item) const {
    const auto url = stringMember(item, "url");
    auto acceptable = [&](const std::string& address) {
        return isAcceptableDownloadUrl(address, settings_.vendorHost,
                                       settings_.allowPlainHttpDownloadsToLoopback);
    };
    if (!url || !acceptable(*url)) return std::nullopt;
    std::vector<std::string> urls = {*url};
    const auto mirrors = item.find("mirrors");
    if (mirrors == item.end() || !mirrors->is_array()) return urls;
    for (const auto& mirror : *mirrors) {
        if (urls.size() > kMaxMirrors) break;
        if (!mirror.is_string() || !acceptable(mirror.get<std::string>())) {
            log("download: a mirror of " + itemId(item) + " is not the vendor's and is not used");
            continue;
        }
        urls.push_back(mirror.get<std::string>());
    }
    return urls;
}

void InstallFlow::next(std::shared_ptr<Batch> batch) {
    // Refused items are skipped in a loop, not by calling this again, and leave the queue in one
    // erase: a long list of them must neither grow the stack nor take quadratic time.
    std::size_t taken = 0;
    while (taken < queue_.size()) {
        Json item = std::move(queue_[taken++]);
        const std::string id = itemId(item);
        auto job = jobFor(item, *batch);
        if (!job) {
            send_(bridge::failureEvent(id, "download", "refused"));
            continue;
        }
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(taken));
        return startDownload(std::move(batch), id, item, std::move(*job));
    }
    queue_.clear();
    batch_.reset();
    runInstallers(std::move(batch->verified));
    if (!runInProgress_) afterRun();
}

std::optional<DownloadJob> InstallFlow::jobFor(const Json& item, Batch& batch) const {
    const auto urls = addressesOf(item);
    const auto file = stringMember(item, "file");
    const auto size = sizeMember(item);
    // Without a digest to check it against, a download could only be thrown away: refused
    // before any traffic.
    const auto sha256 = stringMember(item, "sha256");
    if (!urls || !file || !isAcceptableFileName(*file) || !size || !sha256 ||
        !isSha256Hex(lowerAscii(*sha256))) {
        return std::nullopt;
    }
    // The desktop's installer may read a handed-off file by its name at any time until it
    // closes; a download of this batch replacing it would have it install something else than
    // what it was given.
    std::set<std::string> taken = batch.files;
    for (const auto& [id, entry] : handOff_) taken.insert(entry.file.filename().string());
    for (const auto& entry : superseded_) taken.insert(entry.file.filename().string());
    const std::string name = unusedName(*file, taken);
    batch.files.insert(name);
    return DownloadJob{
        .urls = *urls, .dest = settings_.downloadDir / name, .size = *size, .sha256 = sha256};
}

void InstallFlow::startDownload(std::shared_ptr<Batch> batch, const std::string& id,
                                const Json& item, DownloadJob job) {
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
    downloader_->onDone =
        lifetime_.guard<std::optional<std::filesystem::path>, std::optional<DownloadError>>(
            [this, batch, id, item](std::optional<std::filesystem::path> file,
                                    std::optional<DownloadError> error) {
                downloaded(batch, id, item, std::move(file), std::move(error));
            });
    downloading_ = id;
    downloader_->start(std::move(job));
}

void InstallFlow::downloaded(std::shared_ptr<Batch> batch, const std::string& id, const Json& item,
                             std::optional<std::filesystem::path> file,
                             std::optional<DownloadError> error) {
    downloading_.reset();
    if (!file) {
        const std::string reason = error ? error->reason : "other";
        log("download: " + id + " failed (" + reason + ")" +
            (error && error->message != reason ? ": " + error->message : ""));
        // A package that is not the catalog's is the check's failure, not the network's, and
        // the page shows the check's phase before its result.
        if (reason == "digest") send_(bridge::progressEvent(id, "verify"));
        send_(bridge::failureEvent(id, reason == "digest" ? "check" : "download", reason));
        return next(batch);
    }
    // The digest was taken as the bytes arrived; the phase still shows, however briefly.
    send_(bridge::progressEvent(id, "verify"));
    batch->verified.push_back({item, *file});
    next(batch);
}

void InstallFlow::tidyDownloads() {
    tidyDownloadFolder(settings_.downloadDir, std::chrono::hours(7 * 24));
}

}  // namespace suite
