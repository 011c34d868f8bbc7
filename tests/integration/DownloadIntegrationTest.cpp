// The downloader on the real libcurl client, over TLS, against the local vendor service: a
// crawling transfer cut and resumed, a broken first address passed over for its mirror, and a
// download through the desktop's proxy.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <thread>

#include "backends/curl/CurlHttpClient.h"
#include "bridge/Events.h"
#include "download/Downloader.h"
#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "hosts/gio/GioProxyLookup.h"
#include "integration/ConnectProxy.h"
#include "platform/Files.h"
#include "platform/ManualMainQueue.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
constexpr const char* kUserAgent = "TALVEN Suite/9.9.9 (Linux)";

// One run of the program's download of `job`, as after a start: its own client and downloader.
// Returns why it failed: "" once the package is in place.
std::string download(const CurlClientOptions& options, const DownloadJob& job,
                     std::vector<double> retryDelays) {
    ManualMainQueue queue;
    CurlHttpClient client(queue, options);
    std::optional<std::string> reason;
    // The low-speed rule's time shrunk from a minute to a second, so a crawl is cut in seconds.
    auto downloader = Downloader::create(client, queue,
                                         {.timeoutSeconds = 1,
                                          .lowSpeedSeconds = 1,
                                          .retryDelays = std::move(retryDelays),
                                          .userAgent = kUserAgent});
    downloader->onDone = [&](DownloadResult result) {
        reason = result ? "" : bridge::reasonWord(result.error().reason);
    };
    downloader->start(job);
    // The virtual clock follows real time, so retries wait about as long as they would.
    for (const auto limit = std::chrono::steady_clock::now() + 30s;
         !reason && std::chrono::steady_clock::now() < limit;) {
        queue.runReady();
        std::this_thread::sleep_for(5ms);
        queue.advance(0.005);
    }
    return reason.value_or("no outcome in time");
}

// A package of the local vendor service, reached at any address under the vendor's host.
struct VendorPackage {
    fakes::TempDir dir;
    flows::VendorService vendor{dir / "vendor", {.largeMiB = 1, .stallSeconds = 20}};
    const Json item = vendor.product("talven.presenter", "pkg");
    const std::string file = item["file"];
    CurlClientOptions options;

    VendorPackage() {
        options.caFile = vendor.caFile();
        options.connectTo = {"::127.0.0.1:" + std::to_string(vendor.port())};
    }

    DownloadJob job(std::vector<std::string> paths) const {
        for (auto& path : paths) path = "https://downloads.brenlow.example/" + path + file;
        return {std::move(paths), dir / file, item["size"].get<std::uint64_t>(), item["sha256"]};
    }
    bool whole(const DownloadJob& job) const {
        return readWholeFile(job.dest) ==
               readWholeFile(vendor.packageFile("talven.presenter")).value();
    }
};

// The first answer keeps bytes coming, too slowly to be worth waiting for: the attempt is cut as
// a timeout (the service would go on for 20 s, then hang up), and the next run asks only for the
// rest of the same file. How each fault is answered is the downloader's unit tests'.
TEST(DownloadIntegration, CrawlingTransferIsCutAndTheNextRunGoesOnFromItsBytes) {
    VendorPackage p;
    const DownloadJob job = p.job({"faults/crawl-once/"});
    EXPECT_EQ(download(p.options, job, {}), "timeout");
    EXPECT_EQ(download(p.options, job, {}), "");

    EXPECT_TRUE(p.whole(job)) << "the package is not whole";
    const std::vector<Json> requests = p.vendor.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) EXPECT_EQ(request["userAgent"], kUserAgent);
    EXPECT_TRUE(requests[1]["range"].is_string() && requests[1]["range"] != "bytes=0-" &&
                requests[1]["ifRange"].is_string())
        << requests[1];
}

// Bytes that fail the digest at one address are not the item's end while a mirror has the right
// ones.
TEST(DownloadIntegration, WrongBytesAtTheFirstAddressFallThroughToTheMirror) {
    VendorPackage p;
    const DownloadJob job = p.job({"faults/wrong-bytes/", "suite/"});
    EXPECT_EQ(download(p.options, job, {}), "");

    EXPECT_TRUE(p.whole(job)) << "the package is not the mirror's";
    EXPECT_EQ(p.vendor.requests().size(), 2u) << "the broken address once, then the mirror";
}

// GNOME's proxy settings (in memory here) carry the download through a proxy that the
// environment knows nothing of.
TEST(DownloadIntegration, GoesThroughTheDesktopsProxy) {
    // Before GIO's first use in this process; ctest runs each test in its own.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    g_setenv("XDG_CURRENT_DESKTOP", "GNOME", TRUE);
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY"})
        g_unsetenv(name);
    GSettingsSchema* schema = g_settings_schema_source_lookup(
        g_settings_schema_source_get_default(), "org.gnome.system.proxy", TRUE);
    ASSERT_NE(schema, nullptr)
        << "the desktop's proxy settings (gsettings-desktop-schemas) are missing";
    g_settings_schema_unref(schema);

    VendorPackage p;
    testing::ConnectProxy proxy(p.vendor.port());
    ASSERT_GT(proxy.port(), 0);
    GSettings* https = g_settings_new("org.gnome.system.proxy.https");
    g_settings_set_string(https, "host", "127.0.0.1");
    g_settings_set_int(https, "port", proxy.port());
    GSettings* mode = g_settings_new("org.gnome.system.proxy");
    g_settings_set_string(mode, "mode", "manual");

    const DownloadJob job = p.job({"suite/"});
    CurlClientOptions options;
    options.caFile = p.vendor.caFile();
    options.proxyFor = gtk::desktopProxyFor;
    EXPECT_EQ(download(options, job, {}), "");
    EXPECT_TRUE(p.whole(job));
    EXPECT_EQ(proxy.asked(), std::vector<std::string>{"downloads.brenlow.example:443"});
    g_object_unref(https);
    g_object_unref(mode);

    // What GIO may answer, in curl's terms.
    EXPECT_EQ(gtk::curlProxyFrom({"direct://"}), "");
    EXPECT_EQ(gtk::curlProxyFrom({"socks://proxy:1080"}), "socks5h://proxy:1080");
    EXPECT_EQ(gtk::curlProxyFrom({"ftp://proxy:21", "http://proxy:3128"}), "http://proxy:3128");
    EXPECT_EQ(gtk::curlProxyFrom({"gopher://proxy:70"}), std::nullopt);
}

}  // namespace
}  // namespace suite
