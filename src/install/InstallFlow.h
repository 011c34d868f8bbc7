#pragma once
// Installing, from the page's request to each product's result. The chosen items are checked,
// downloaded and verified one after another; the verified packages go to the host's package
// system in one privileged run, so the user is asked for rights once per batch; every item gets
// exactly one result; a package the run could not install goes to the desktop's installer and is
// in once the package database shows it; a self-update ends in a relaunch. Main thread only:
// work that blocks runs in the background and comes back through the main queue.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/Lifetime.h"
#include "download/Downloader.h"
#include "install/History.h"
#include "install/KeptPackages.h"
#include "platform/Background.h"
#include "platform/FileWatch.h"
#include "platform/HttpClient.h"
#include "platform/Launcher.h"
#include "platform/MainQueue.h"
#include "platform/PackageSystem.h"
#include "platform/RunningPrograms.h"
#include "platform/Shell.h"

namespace suite {

struct InstallSettings {
    std::filesystem::path downloadDir = {};
    std::filesystem::path logDir = {};   // install.log
    double downloadTimeoutSeconds = 30;  // time without data before a download is given up
    std::vector<double> downloadRetryDelays = {1, 4, 16};  // tests make them short
    std::string userAgent = {};                            // sent with every download
    std::filesystem::path ownExecutable = {};              // started again after a self-update
    // Where installed packages are kept for a restore (empty: nowhere), and the signed catalog
    // document and signature the privileged run verifies against, kept with them.
    std::filesystem::path keptPackagesDir = {}, catalogFile = {}, signatureFile = {};
    // Without a window (the command line), a package the privileged run did not install simply
    // fails, since nobody would see the desktop's installer, and a self-update does not start
    // the new version: the program was not running as one.
    bool windowless = false;
};

struct InstallServices {
    MainQueue& queue;
    Background& background;
    HttpClient& http;
    Launcher& launcher;
    Shell& shell;
    PackageSystem& packages;
    FileWatcher& fileWatcher;
    RunningPrograms& running;
};

class InstallFlow {
  public:
    using Send = std::function<void(const Json&)>;
    // The text of the request for administrator rights, in the interface language of the moment.
    using Prompt = std::function<std::string()>;

    InstallFlow(InstallSettings settings, InstallServices services, Send send, Prompt prompt);
    ~InstallFlow();
    InstallFlow(const InstallFlow&) = delete;
    InstallFlow& operator=(const InstallFlow&) = delete;

    // Downloads, verifies and installs the request's items, and refuses those it could not read.
    // While a batch is being downloaded, a new request
    // joins it: still one prompt, and every item exactly one result. While a batch is being
    // installed, a new request waits and becomes the next batch: one privileged run at a time.
    void install(InstallRequest request);
    // The items whose packages a `prepare` downloaded and verified, in its order.
    using Prepared = std::function<void(std::vector<InstallItem> items)>;
    // Downloads and verifies the request's items as `install` does, without installing them: a
    // later install of the same package (the same digest) takes the verified file instead of
    // downloading it again. An install asked for meanwhile turns the batch into an install of
    // all of it, behind its one prompt; `prepared` is then never called. Nothing starts while
    // another batch is under way (`busy`).
    void prepare(InstallRequest request, Prepared prepared);
    // For the batch just started: a self-update in it starts the new version only while
    // `windowShown` says the window is hidden, or once `windowHidden` says it went away. The
    // user's own install asks for the relaunch at once again.
    void relaunchOnlyWhileHidden(std::function<bool()> windowShown);
    void windowHidden();
    // The user changed their mind about the item `id`: stopped wherever it is short of the
    // privileged run (waiting, downloading, verified and waiting for the rest of its batch, or
    // waiting for the next batch), with one "cancelled" result. Bytes downloaded so far stay for
    // the next install to go on from. An item already handed to the privileged run or to the
    // desktop's installer is not interrupted; that, like an id nothing has, is only logged.
    void cancel(const std::string& id);
    // Every item not yet handed to the privileged run, as `cancel` stops one.
    void cancelAll();
    // The page's "cancel": the item with this id, or without one every item; an id that is not
    // text is only logged.
    void cancelRequested(const std::optional<Json>& id);
    // Installs a batch of verified downloads in one privileged run.
    void runInstallers(std::vector<VerifiedPackage> packages);
    // The user is back: packages handed to the desktop's installer whose installer has closed
    // are settled, and, where the package database is not watched, every package handed off is
    // looked for again (in the background).
    void applicationDidBecomeActive();
    // The user no longer waits for the desktop's installer to install the item `id`: it fails
    // with "install". An id with nothing handed off is only logged.
    void stopWaiting(const std::string& id);
    // Starts the new version of this program once this process has gone, and quits.
    void reopen();
    // The download folder as a new run finds it: what earlier runs left there is removed, except
    // partial downloads of the last week, which the next install of their item goes on from.
    void tidyDownloads();
    // Whether the item is installed at its catalog version or newer, where the host judges it
    // right after a run; nothing where it does not. May block on the package database.
    std::optional<bool> isInstalled(const InstallItem& item) const;
    // Those of the item's executables that run now. An install replaces an open product's files
    // under it; automatic installs skip such an item and try again at the next check.
    std::vector<std::string> openExecutables(const InstallItem& item) const;
    // One line in the install log.
    void log(const std::string& message) const;
    // Shows the install log in the desktop's program for it; nothing while there is none.
    void openLog() const;
    // The versions a "scanned" event shows installed: the "from" of the history's next entries;
    // packages kept for products no longer installed go. Any other event is ignored.
    void noteScan(const Json& event);
    // The "history" event: every entry of the install history, newest first, and in
    // "restorable" the version each product can go back to (by id).
    Json history() const;
    // The page's "restore": puts back the package the product's installed version replaced,
    // kept since that update, through the host's restore, which always asks for an
    // administrator's password. The page hears the item's "progress" and one "result"; the
    // history says "restored". Nothing goes to the desktop's installer. While another batch is
    // under way, or with nothing kept, the item fails "install" at once.
    void restore(const std::string& id);
    // By id, the version the user last went back from, for each product whose newest history
    // entry (failures and cancellations aside) is a restore: automatic installs leave it alone.
    std::map<std::string, std::string> restoredAwayFrom() const;

    // A batch is being downloaded or installed, a request waits for one, a package is with the
    // desktop's installer, or a relaunch is due.
    bool busy() const {
        return batch_ || runInProgress_ || !waiting_.empty() || !handOff_.empty() ||
               relaunchPending_;
    }

    // A package handed to the desktop's installer and not yet settled.
    struct HandOff {
        InstallItem item;
        std::filesystem::path file;
        std::shared_ptr<LaunchedHandler> handler;
        FailureReason reason;      // why the privileged run did not install it
        std::uint64_t serial = 0;  // tells this hand-off from a later one of the same item
    };
    // How long a hand-off waits for its package to show in the package database. An installer
    // that hands the file to its running instance ends at once, so its end says nothing; the
    // user may take a long time in its window, and can stop waiting sooner.
    static constexpr double kHandOffLimitSeconds = 30 * 60;
    // A package tool writes its database several times for one install; one look after the
    // writes have settled is enough.
    static constexpr double kDatabaseSettleSeconds = 0.5;
    const std::map<std::string, HandOff>& handOff() const { return handOff_; }

  private:
    // The packages verified so far in the batch being downloaded, and the names their files have.
    struct Batch {
        std::vector<VerifiedPackage> verified;
        std::set<std::string> files;
        Prepared prepared;  // set while the batch only downloads and verifies
    };
    // The verified file a `prepare` left for `item`, taken out of the prepared ones; nothing
    // when there is none for this digest or its file has gone.
    std::optional<VerifiedPackage> takePrepared(const InstallItem& item);
    // The relaunch is due and nothing holds it back.
    bool mayRelaunch() const;
    // Takes the items whose product is open out of `items`, each with its "running" result.
    void holdBackOpen(std::vector<InstallItem>& items);
    // The next item of the batch being downloaded, or the privileged run when none is left.
    void next(std::shared_ptr<Batch> batch);
    // The download of `item` under a name of its own in the batch.
    DownloadJob jobFor(const InstallItem& item, Batch& batch) const;
    void startDownload(std::shared_ptr<Batch> batch, InstallItem item, DownloadJob job);
    void downloaded(std::shared_ptr<Batch> batch, const InstallItem& item, DownloadResult result);
    // What `cancel` and `cancelAll` share: each item `chosen` picks is stopped; the batch goes on
    // with the rest. Returns how many were stopped.
    std::size_t cancelWhere(const std::function<bool(const std::string& id)>& chosen);
    // The run has ended: every package not `settled` while it went on gets its result, by the
    // installed checks the run's job made (`installed`, per package).
    void finishRun(const std::vector<VerifiedPackage>& packages, const std::vector<bool>& settled,
                   const BatchOutcome& outcome, const std::vector<std::optional<bool>>& installed);
    // One package's result once its part of the run is over: installed, refused, cancelled, or
    // handed off. `installed` is the installed check's verdict where the host judges after a
    // run; otherwise the installer's report decides.
    void settle(const VerifiedPackage& package, PackageReport report, const FailureReason& reason,
                RunResult run, std::optional<bool> installed);
    // A batch has ended: the request that waited for it starts, or a relaunch that waited for
    // both.
    void afterRun();
    // `reason`: why the privileged run did not install it, told with the result should the
    // desktop's installer not install it either.
    void handOffPackage(const InstallItem& item, const std::filesystem::path& file,
                        const FailureReason& reason);
    // Watches the package database while hand-offs wait for it, where the host names one.
    void watchDatabase();
    void databaseChanged();
    // Looks for every package handed off that the host can detect, in one background read of
    // the package database; those present at their catalog version succeed.
    void checkHandOffs();
    void settleHandOff(const std::string& id, bool installed);
    // A result the page is told of, written to the history as well; a success of a restore
    // (`restore`) is written as "restored".
    void recordResult(const Json& event, bool restore = false);
    // The restore's run has ended.
    void finishRestore(const InstallItem& item, const BatchOutcome& outcome);

    const InstallSettings settings_;
    InstallServices services_;
    Send page_;  // to the page alone; `send_` also writes results to the history
    Send send_;
    Prompt prompt_;

    std::vector<InstallItem> queue_;    // items of the batch being downloaded, still to do
    std::shared_ptr<Batch> batch_;      // the batch being downloaded, if any
    bool runInProgress_ = false;        // a batch is being installed
    std::vector<InstallItem> waiting_;  // asked for while a batch was being installed
    bool relaunchPending_ = false;      // this program was updated; it restarts once all is done
    std::shared_ptr<Downloader> downloader_;
    std::optional<std::string> downloading_;  // the id `downloader_` is working for, until it ends
    std::map<std::string, HandOff> handOff_;
    // Earlier hand-offs of items handed off again, while their installer may still be open: the
    // files they were given must stay as they are.
    std::vector<HandOff> superseded_;
    std::uint64_t handOffs_ = 0;                // hand-offs made, for their serials
    std::unique_ptr<FileWatch> databaseWatch_;  // while hand-offs wait
    std::uint64_t databaseChanges_ = 0;         // told so far, so only the last one's look runs
    bool checking_ = false;                     // a look at the database is under way
    bool checkAgain_ = false;                   // asked for another meanwhile
    bool relaunching_ = false;  // a relaunch has been requested; the program is about to quit
    std::map<std::string, VerifiedPackage>
        prepared_;                       // by id, downloaded and verified by `prepare`
    std::function<bool()> windowShown_;  // set: a self-update relaunches only while it is false
    HistoryFile history_;
    KeptPackages kept_;
    std::map<std::string, std::string> installedVersions_;  // by id, as the last scan showed
    std::map<std::string, std::string> askedVersions_;      // by id, the catalog's of the last ask
    Lifetime lifetime_;  // declared last, so it goes first: no callback sees a half-gone flow
};

}  // namespace suite
