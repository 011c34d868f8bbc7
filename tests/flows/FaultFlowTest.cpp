// Downloads that go wrong half-way or that the user cancels, and a vendor that cannot be reached
// or serves an expired catalog: each download ends with its result and reason, keeps only the
// part a later attempt can go on from, and the rest of the batch goes on; the page says why there
// is no new catalog.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Process.h"

namespace suite::flows {
namespace {

struct FaultCase {
    const char* name;
    const char* faulty;  // the product whose download goes wrong
    FlowSetup setup;
    rlim_t fileSizeLimit;  // RLIM_INFINITY: none
    const char* reason;
};

TEST(FaultFlow, BrokenDownloadsFailAloneAndKeepOnlyTheirResumablePart) {
    const FaultCase cases[] = {
        {"connection reset half-way", "talven.stream", {}, RLIM_INFINITY, "offline"},
        {"server stops sending",
         "talven.board",
         {.downloadTimeoutSeconds = 1.5},
         RLIM_INFINITY,
         "timeout"},
        // The kernel refuses to let a file grow past the limit, as a full disk would: no retry.
        {"disk full", "talven.capture", {}, 4 << 20, "space"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlowHarness h(sharedVendor(), c.setup);
        h.start();
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        auto previous = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{c.fileSizeLimit, before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);

        installSelected(h, {c.faulty, "talven.presenter"});
        waitForResults(h, 2, 60);  // three retries take 21 s

        ::setrlimit(RLIMIT_FSIZE, &before);
        ::signal(SIGXFSZ, previous);
        EXPECT_EQ(resultFor(h, c.faulty), (Json{{"type", "result"},
                                                {"id", c.faulty},
                                                {"ok", false},
                                                {"error", "download"},
                                                {"reason", c.reason}}));
        EXPECT_EQ(resultFor(h, "talven.presenter").value("ok", false), true);
        // The row says why in words, and its details name the reason and the server.
        const std::string details = "document.querySelector('[data-product=\"" +
                                    std::string(c.faulty) + "\"] [data-failure-details]')";
        EXPECT_TRUE(h.waitFor("!" + details + ".hidden", 5));
        EXPECT_EQ(h.eval(details + ".querySelector('.failure-code').textContent"),
                  "Reason: \u2066" + std::string(c.reason) +
                      "\u2069 · Server: \u2066downloads.brenlow.example\u2069");
        const std::string digest = h.vendor().product(c.faulty, "pkg")["sha256"];
        EXPECT_EQ(packagesIn(h.downloads()),
                  (std::vector<std::string>{digest + ".part", digest + ".part.validator"}));
    }
}

// Cancel in the middle of a download that has gone quiet: the row says the part is kept and
// offers Install again, and the next install asks the server only for the rest of that file.
TEST(FaultFlow, CancelledDownloadKeepsItsPartAndTheNextInstallGoesOnFromIt) {
    FlowHarness h(sharedVendor());
    h.start();
    const std::string row = "[data-product=\"talven.board\"]", cancel = row + " [data-cancel]";
    const Json package = h.vendor().product("talven.board", "pkg");
    const std::string part = package["sha256"].get<std::string>() + ".part";
    const std::string entry = "Suite.snapshot().install.items['talven.board']?.";
    ASSERT_TRUE(h.click(row + " [data-install]"));
    ASSERT_TRUE(h.waitFor(entry + "pct > 0")) << "the first bytes, then the server goes quiet";
    ASSERT_TRUE(h.waitFor("document.querySelector('" + cancel + "').checkVisibility()", 5));
    ASSERT_TRUE(h.click(cancel));
    EXPECT_EQ(waitForResults(h, 1, 10).back().value("reason", ""), "cancelled");
    EXPECT_TRUE(h.waitFor(
        "document.activeElement === document.querySelector('" + row + " [data-install]')", 5));
    EXPECT_NE(rowText(h, "talven.board").find("the part already downloaded is kept"),
              std::string::npos);
    // The transfer's file is closed once the client has stopped it.
    EXPECT_TRUE(h.turnUntil(
        [&] {
            std::error_code error;
            return packagesIn(h.downloads()) ==
                       std::vector<std::string>{part, part + ".validator"} &&
                   fs::file_size(h.downloads() / part, error) == 1000;
        },
        5))
        << packagesIn(h.downloads()).size();

    ASSERT_TRUE(h.click(row + " [data-install]"));
    ASSERT_TRUE(h.waitFor(entry + "resumedAt > 0"));
    const Json last = h.vendor().requests().back();  // the catalog's requests are not logged
    EXPECT_TRUE(last["path"].get<std::string>().ends_with(package["file"].get<std::string>()));
    EXPECT_EQ(last.value("range", Json()), "bytes=1000-") << last;
    EXPECT_TRUE(last.value("ifRange", Json()).is_string()) << last;
    EXPECT_TRUE(h.waitFor("document.querySelector('" + row + "').innerText.includes('resumed')"));
    ASSERT_TRUE(h.click(cancel));
    EXPECT_EQ(waitForResults(h, 2, 10).size(), 2u);
}

TEST(FaultFlow, ExpiredCatalogIsOutOfDateAndAVendorOutOfReachOffline) {
    fakes::TempDir dir;
    VendorService stale(dir / "vendor", {.largeMiB = 1, .catalogExpiresIn = -60});
    FlowHarness h(stale);
    h.start(false);
    const std::string notice = "document.querySelector('[data-catalog-notice]')";
    auto says = [&](const std::string& text) {
        return h.waitFor("!" + notice + ".hidden && " + notice + ".innerText.includes(" +
                             Json(text).dump() + ")",
                         30);
    };
    // Properly signed, but past its expiry: refused, and the page says why.
    EXPECT_TRUE(says("out of date")) << h.eval(notice + ".innerText");
    stale.stop();
    const std::string retry = "[data-catalog-notice] [data-action='retry']";
    ASSERT_TRUE(h.waitFor("!document.querySelector(" + Json(retry).dump() + ").disabled"));
    ASSERT_TRUE(h.click(retry));
    EXPECT_TRUE(says("offline")) << h.eval(notice + ".innerText");
}

// A catalog signed with a key this build does not trust is refused like no catalog at all:
// nothing from it is shown, and nothing from it can be installed.
TEST(FaultFlow, CatalogSignedByAnUnknownKeyIsRefusedAndNothingCanBeInstalled) {
    fakes::TempDir dir;
    auto made = runProcess(SUITE_SOURCE_DIR "/tools/sign-catalog",
                           {"keygen", (dir / "other.pem").string()});
    ASSERT_TRUE(made && made->exitStatus == 0);
    VendorService forged(dir / "vendor", {.largeMiB = 1, .signingKey = dir / "other.pem"});
    FlowHarness h(forged);
    h.start(false);
    ASSERT_TRUE(h.turnUntil([&] { return !h.events("catalog").empty(); }, 40));
    EXPECT_EQ(
        h.events("catalog").back(),
        (Json{{"type", "catalog"}, {"ok", false}, {"offline", false}, {"reason", "signature"}}));
    EXPECT_TRUE(h.waitFor("!document.querySelector('[data-catalog-notice]').hidden", 10));
    EXPECT_EQ(h.eval("document.querySelectorAll('[data-product]').length"), 0);
    EXPECT_EQ(
        h.eval("document.querySelectorAll('[data-action=\"install-selected\"]:not([disabled])')"
               ".length"),
        0);
}

}  // namespace
}  // namespace suite::flows
