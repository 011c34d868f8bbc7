// The downloader on the real libcurl client, over TLS, against the local vendor service: a resume
// after a stall, and a download through the desktop's proxy.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <thread>

#include "download/Downloader.h"
#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "integration/ConnectProxy.h"
#include "platform/Files.h"
#include "platform/ManualMainQueue.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/gtk/GioProxyLookup.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
constexpr const char* kUserAgent = "TALVEN Suite/9.9.9 (Linux)";

struct Outcome {
    bool done = false;
    std::optional<std::filesystem::path> file;
    std::string reason;
};

// One run of the program's download of `job`: its own client and downloader, as after a start.
Outcome download(const CurlClientOptions& options, const DownloadJob& job,
                 std::vector<double> retryDelays) {
    ManualMainQueue queue;
    CurlHttpClient client(queue, options);
    Outcome outcome;
    auto downloader = Downloader::create(
        client, queue,
        {.timeoutSeconds = 1, .retryDelays = std::move(retryDelays), .userAgent = kUserAgent});
    downloader->onDone = [&](auto file, auto error) {
        outcome = {true, file, error ? error->reason : ""};
    };
    downloader->start(job);
    // The virtual clock follows real time, so retries wait about as long as they would.
    for (const auto limit = std::chrono::steady_clock::now() + 30s;
         !outcome.done && std::chrono::steady_clock::now() < limit;) {
        queue.runReady();
        std::this_thread::sleep_for(5ms);
        queue.advance(0.005);
    }
    EXPECT_TRUE(outcome.done) << "no outcome in time";
    return outcome;
}

// How each fault is answered is the downloader's unit tests'; here a real resume: the first
// answer stalls, and the retry asks for the rest of the same file and completes it.
TEST(DownloadIntegration, StalledDownloadIsResumedAndTheFileIsWhole) {
    fakes::TempDir dir;
    flows::VendorService vendor(dir / "vendor", {.largeMiB = 1, .stallSeconds = 3});
    const Json item = vendor.product("talven.presenter", "pkg");
    const std::string file = item["file"];
    CurlClientOptions options;
    options.caFile = vendor.caFile();
    options.connectTo = {"::127.0.0.1:" + std::to_string(vendor.port())};
    const DownloadJob job{{"https://downloads.brenlow.example/faults/stall-once/" + file},
                          dir / file,
                          item["size"].get<std::uint64_t>(),
                          item["sha256"]};
    const Outcome outcome = download(options, job, {0.2, 0.2, 0.2});

    EXPECT_EQ(outcome.reason, "");
    EXPECT_TRUE(readWholeFile(job.dest) ==
                readWholeFile(vendor.packageFile("talven.presenter")).value())
        << "the package is not whole";
    const std::vector<Json> requests = vendor.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) EXPECT_EQ(request["userAgent"], kUserAgent);
    EXPECT_TRUE(requests[1]["range"].is_string() && requests[1]["range"] != "bytes=0-")
        << requests[1];
    EXPECT_TRUE(requests[1]["ifRange"].is_string()) << requests[1];
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

    fakes::TempDir dir;
    flows::VendorService vendor(dir / "vendor", {.largeMiB = 1});
    testing::ConnectProxy proxy(vendor.port());
    ASSERT_GT(proxy.port(), 0);
    GSettings* https = g_settings_new("org.gnome.system.proxy.https");
    g_settings_set_string(https, "host", "127.0.0.1");
    g_settings_set_int(https, "port", proxy.port());
    GSettings* mode = g_settings_new("org.gnome.system.proxy");
    g_settings_set_string(mode, "mode", "manual");

    CurlClientOptions options;
    options.caFile = vendor.caFile();
    options.proxyFor = gtk::desktopProxyFor;
    const Json item = vendor.product("talven.presenter", "pkg");
    const std::string file = item["file"];
    const DownloadJob job{{"https://downloads.brenlow.example/suite/" + file},
                          dir / file,
                          item["size"].get<std::uint64_t>(),
                          item["sha256"]};
    const Outcome outcome = download(options, job, {});

    EXPECT_EQ(outcome.reason, "");
    EXPECT_TRUE(readWholeFile(job.dest) ==
                readWholeFile(vendor.packageFile("talven.presenter")).value());
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
