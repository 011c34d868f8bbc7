#pragma once
// The local vendor service (tools/vendor-server) as a child of the test: started on a free port
// with a fresh folder, stopped when the object goes (or earlier, to play "offline").
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "common/Json.h"

namespace suite::flows {

class VendorService {
  public:
    struct Options {
        int largeMiB = 24;         // the large package
        double stallSeconds = 20;  // how long the stalling download stays silent
        // The program's own .deb, offered as the suite's deb variant (none when empty).
        std::filesystem::path suiteDeb = {};
        long catalogExpiresIn = 7 * 86400;  // seconds; negative: the catalog has expired
        // The key the catalog is signed with; empty: the test key the test build trusts.
        std::filesystem::path signingKey = {};
    };
    VendorService(const std::filesystem::path& folder, Options options);
    ~VendorService();
    VendorService(const VendorService&) = delete;
    VendorService& operator=(const VendorService&) = delete;

    bool running() const { return pid_ > 0; }
    void stop();

    int port() const { return port_; }
    const std::filesystem::path& caFile() const { return ca_; }
    const std::filesystem::path& received() const { return received_; }
    // Every package request so far, in order: {path, range, ifRange, userAgent}.
    std::vector<Json> requests() const;
    const Json& catalog() const { return catalog_; }
    // The catalog's entry for `id` as pages before the Debian packages read it: the pkg variant
    // at the top level (null when there is none).
    Json product(const std::string& id) const;
    // The item the page hands the native side for the `kind` ("pkg" or "deb") variant of `id`:
    // {id, group, detect, version, url, file, sha256, size, self}; null when the product has none.
    Json product(const std::string& id, const std::string& kind) const;
    // The file the service sends for the `kind` variant of `id` (it may be missing on purpose).
    std::filesystem::path packageFile(const std::string& id, const std::string& kind = "pkg") const;

  private:
    pid_t pid_ = -1;
    int stdinWriter_ = -1;
    int port_ = 0;
    std::filesystem::path folder_, ca_, received_;
    Json catalog_;
    Json debs_;  // Debian package name -> the .deb the service sends for it
};

}  // namespace suite::flows
