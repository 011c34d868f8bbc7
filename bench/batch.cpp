// An install batch at the speed of its work: N packages of M MiB over TLS from the local vendor
// service, from the click on "Install selected" to the administrator's prompt (every package
// fetched, written and checked against its digest by then), against the work itself: a bare
// libcurl + OpenSSL driver that fetches the same files from the same service one after another,
// writing each to disk and digesting it as it arrives. Rounds alternate which goes first;
// medians are reported with their ratio. A report, not a test.
//
// bench_batch [packages=20] [MiB=64] [rounds=3]      (under tests/with-display.sh)
//
// The program is the whole of it in this process (the flows' harness: real GTK window, WebKit
// page, HTTP client and download folder), with the macOS package kind, whose prompt never comes
// on this machine: the click's time and the first "password" event's are read in the page.
#include <curl/curl.h>
#include <gtk/gtk.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/TempDir.h"
#include "flows/FlowHarness.h"
#include "flows/VendorService.h"

namespace suite::flows {
GtkApplication* gApp = nullptr;
}

namespace {

namespace fs = std::filesystem;
using suite::Json;
using suite::flows::FlowHarness;
using suite::flows::VendorService;

constexpr double kTargetRatio = 1.2;

struct Sink {
    std::FILE* file;
    EVP_MD_CTX* digest;
};

std::size_t receive(char* bytes, std::size_t size, std::size_t count, void* data) {
    auto* sink = static_cast<Sink*>(data);
    const std::size_t length = size * count;
    EVP_DigestUpdate(sink->digest, bytes, length);
    return std::fwrite(bytes, 1, length, sink->file);
}

std::string hex(const unsigned char* bytes, unsigned length) {
    std::string out;
    char pair[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

// The work floor: every package fetched over one reused TLS connection, written and digested as
// it arrives; milliseconds, or a negative number when a file did not arrive whole.
double workFloor(const VendorService& vendor, const std::vector<Json>& packages,
                 const fs::path& folder) {
    const auto started = std::chrono::steady_clock::now();
    CURL* curl = curl_easy_init();
    curl_slist* connectTo =
        curl_slist_append(nullptr, ("::127.0.0.1:" + std::to_string(vendor.port())).c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connectTo);
    curl_easy_setopt(curl, CURLOPT_CAINFO, vendor.caFile().c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive);
    bool whole = true;
    for (const Json& package : packages) {
        const fs::path path = folder / package["file"].get<std::string>();
        Sink sink{std::fopen(path.c_str(), "wb"), EVP_MD_CTX_new()};
        EVP_DigestInit_ex(sink.digest, EVP_sha256(), nullptr);
        curl_easy_setopt(curl, CURLOPT_URL, package["url"].get<std::string>().c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        const CURLcode result = curl_easy_perform(curl);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        EVP_DigestFinal_ex(sink.digest, digest, &length);
        EVP_MD_CTX_free(sink.digest);
        std::fclose(sink.file);
        whole = whole && result == CURLE_OK &&
                hex(digest, length) == package["sha256"].get<std::string>();
    }
    curl_slist_free_all(connectTo);
    curl_easy_cleanup(curl);
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    // Kept until the end, as the program keeps its downloads for the install: a file removed at
    // once would never be written back to the disk, and the program's files are.
    for (const Json& package : packages) fs::remove(folder / package["file"].get<std::string>());
    return whole ? took.count() : -1;
}

// The program: the batch's rows ticked and "Install selected" clicked in the page; milliseconds
// from the click to the first "password" event, or a negative number when it never came.
double program(VendorService& vendor, std::size_t count) {
    FlowHarness h(vendor);
    h.start();
    const Json clicked = h.eval(R"((() => {
        const page = window.Suite;
        window.__password = null;
        window.Suite = Object.freeze({ ...page, receive(e) {
            if (window.__password === null && e?.type === 'progress' && e.phase === 'password')
                window.__password = performance.now();
            return page.receive(e);
        } });
        const boxes = document.querySelectorAll('[data-product^="talven.batch."] [data-select]');
        for (const box of boxes) box.click();
        window.__clicked = performance.now();
        document.querySelector('[data-action="install-selected"]').click();
        return boxes.length;
    })())");
    if (clicked != Json(count)) {
        std::fprintf(stderr, "bench_batch: the page offered %s of %zu packages\n",
                     clicked.dump().c_str(), count);
        return -1;
    }
    // Looked at four times a second: the harness's own wait asks the page fifty times a second,
    // which would load the web process the program's batch is timed in.
    for (int quarter = 0; h.eval("window.__password === null") == true; ++quarter) {
        if (quarter == 4 * 600) return -1;
        h.turnUntil([] { return false; }, 0.25);
    }
    return h.eval("window.__password - window.__clicked").get<double>();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 64;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (count == 0 || mib <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_batch [packages=20] [MiB=64] [rounds=3]\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    suite::flows::gApp =
        gtk_application_new("com.brenlow.talven.bench.batch", G_APPLICATION_NON_UNIQUE);
    if (!g_application_register(G_APPLICATION(suite::flows::gApp), nullptr, nullptr)) return 1;

    suite::fakes::TempDir scratch;
    VendorService vendor(scratch / "vendor", {.largeMiB = mib, .batch = static_cast<int>(count)});
    std::vector<Json> packages;
    for (std::size_t k = 1; k <= count; ++k)
        packages.push_back(vendor.product("talven.batch." + std::to_string(k), "pkg"));
    fs::create_directories(scratch / "floor");

    double loadBefore[1] = {0};
    getloadavg(loadBefore, 1);
    std::vector<double> programMs, floorMs;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                programMs.push_back(program(vendor, count));
            } else {
                floorMs.push_back(workFloor(vendor, packages, scratch / "floor"));
            }
        }
        std::printf("round %d: program %.0f ms, work floor %.0f ms\n", round + 1, programMs.back(),
                    floorMs.back());
        std::fflush(stdout);
        if (programMs.back() < 0 || floorMs.back() < 0) {
            std::fprintf(stderr, "bench_batch: a run did not finish\n");
            return 1;
        }
    }
    double loadAfter[1] = {0};
    getloadavg(loadAfter, 1);
    const double ratio = median(programMs) / median(floorMs);
    std::printf(
        "%zu packages x %d MiB over TLS, median of %d: click to prompt %.0f ms, work floor "
        "%.0f ms, ratio %.2f (target %.1f: %s); load %.2f -> %.2f\n",
        count, mib, rounds, median(programMs), median(floorMs), ratio, kTargetRatio,
        ratio <= kTargetRatio ? "met" : "MISSED", loadBefore[0], loadAfter[0]);
    g_object_unref(suite::flows::gApp);
    curl_global_cleanup();
    return 0;
}
