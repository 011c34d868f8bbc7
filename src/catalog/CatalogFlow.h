#pragma once
// The page's catalog and what is installed: the catalog addresses tried strictly one after
// another, each document with its signature, the first that passes the trust check handed to the
// page, and kept with its signature for the next start and the install helper; and the installed
// versions of the page's products, read off the main thread. Main thread
// only; every answer comes through the main queue.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalog/CatalogTrust.h"
#include "common/Json.h"
#include "common/Lifetime.h"
#include "download/FailureReason.h"
#include "platform/Background.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"
#include "platform/PackageSystem.h"

namespace suite {

struct CatalogSettings {
    std::string userAgent = {};
    double timeoutSeconds = 12;          // time without data before an address is given up
    std::vector<std::string> keys = {};  // any of them may sign the catalog (see CatalogTrust)
    std::filesystem::path trustStateFile = {};  // empty: remembered for this run only
    std::filesystem::path keptFolder = {};  // where the last good catalog is kept; empty: nowhere
    WallClock wallClock = systemSeconds;
};

struct CatalogServices {
    MainQueue& queue;
    Background& background;
    HttpClient& http;
    PackageSystem& packages;
};

class CatalogFlow {
  public:
    using Send = std::function<void(const Json&)>;

    CatalogFlow(CatalogSettings settings, CatalogServices services, Send send);
    CatalogFlow(const CatalogFlow&) = delete;
    CatalogFlow& operator=(const CatalogFlow&) = delete;

    // Answers with one "catalog" event.
    void fetch(std::vector<std::string> urls);
    // Answers with one "scanned" event for the page's products.
    void scan(std::vector<Json> apps);
    // A fetch or a scan has not been answered yet.
    bool busy() const { return unanswered_ > 0; }
    // The kept catalog as the page takes it, {"text", "at"} (milliseconds since 1970), when its
    // signature still verifies; null otherwise. Read from disk on each call.
    Json kept() const;

  private:
    // `offline`, `refusal` and `networkFailure` travel with the addresses still to try: whether
    // no server has answered yet, why the last document that came was refused, and why the last
    // address gave none.
    void fetchFrom(std::vector<std::string> urls, bool offline,
                   std::optional<CatalogRefusal> refusal,
                   std::optional<TransferFailure> networkFailure);
    void answer(const Json& event);
    // The signature of the document `text` fetched from `url`, then the trust check's verdict.
    void fetchSignature(std::string url, std::string text, std::vector<std::string> rest);
    // Writes the pair off the main thread, one write at a time so that two checks' pairs never
    // mix; a pair that comes while one is written waits, and only the latest does.
    void keep(std::string document, std::string signature);

    const CatalogSettings settings_;
    CatalogServices services_;
    Send send_;
    CatalogTrust trust_;
    int unanswered_ = 0;  // fetches and scans under way
    bool keeping_ = false;
    std::optional<std::pair<std::string, std::string>> toKeep_;  // document, signature
    Lifetime lifetime_;
};

}  // namespace suite
