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
        int largeMiB = 24;          // the large package
        double stallSeconds = 20;   // how long the stalling download stays silent
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
    const Json& catalog() const { return catalog_; }
    // The catalog's entry for `id` (null when there is none).
    Json product(const std::string& id) const;
    // The package file the service sends for `id`.
    std::filesystem::path packageFile(const std::string& id) const;

private:
    pid_t pid_ = -1;
    int stdinWriter_ = -1;
    int port_ = 0;
    std::filesystem::path folder_, ca_, received_;
    Json catalog_;
};

}  // namespace suite::flows
