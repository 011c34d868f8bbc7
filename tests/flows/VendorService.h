#pragma once
// The local vendor service (tools/vendor-server) as a child of the test: started on a free port
// with a fresh folder, stopped when the object goes.
#include <gio/gio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite::flows {

class VendorService {
  public:
    struct Options {
        int largeMiB = 24;         // the large package
        double stallSeconds = 20;  // how long the stalling download stays silent
        // The program's own .deb, offered as the suite's deb variant (none when empty).
        std::filesystem::path suiteDeb = {};
        int batch = 0;  // extra applications of largeMiB each (talven.batch.1 ...), for a bench
        std::vector<std::filesystem::path> debs = {};  // offered as they are (talven.deb.NAME)
        // The program's own .rpm, offered as the suite's rpm variant (none when empty).
        std::filesystem::path suiteRpm = {};
        std::vector<std::filesystem::path> rpms = {};  // offered as they are (talven.rpm.NAME)
        // A folder tools/publish wrote: served as it is, in place of every product above.
        std::filesystem::path published = {};
    };
    VendorService(const std::filesystem::path& folder, Options options);
    ~VendorService();
    VendorService(const VendorService&) = delete;
    VendorService& operator=(const VendorService&) = delete;

    int port() const { return port_; }
    const std::filesystem::path& caFile() const { return ca_; }
    const std::filesystem::path& received() const { return received_; }
    // Every package request so far, in order: {path, host, range, ifRange, userAgent}.
    std::vector<Json> requests() const;
    const Json& catalog() const { return catalog_; }
    // The catalog's `kind` ("pkg", "deb" or "rpm") variant of `id`: {version, url, file, sha256,
    // size, detect, and arch but for pkg}, or the list of them by architecture; null when the
    // product has none.
    Json product(const std::string& id, const std::string& kind) const;
    // The file the service sends for the pkg variant of `id` (it may be missing on purpose).
    std::filesystem::path packageFile(const std::string& id) const;
    // The local RPM repository (createrepo_c's metadata beside its packages) to configure as a
    // system's repository: it holds what the catalog's RPMs require and the catalog does not offer.
    const std::filesystem::path& rpmRepository() const { return rpmRepo_; }

  private:
    void stop();

    GSubprocess* process_ = nullptr;
    int port_ = 0;
    std::filesystem::path folder_, ca_, received_, rpmRepo_;
    Json catalog_;
};

}  // namespace suite::flows
