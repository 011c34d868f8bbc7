// Downloads that go wrong half-way or that the user cancels: each ends with its result and
// reason, said on its row, and keeps only the part a later attempt can go on from. (How the
// client retries and resumes each fault is the integration tests'; a catalog the program cannot
// trust is the catalog unit tests'.)
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"

namespace suite::flows {
namespace {

TEST(FaultFlow, BrokenDownloadsEndWithTheirReasonAndKeepOnlyTheirResumablePart) {
    const struct {
        const char* name;
        const char* faulty;
        rlim_t fileSizeLimit;  // RLIM_INFINITY: none
        const char *reason, *cause;
    } cases[] = {
        {"connection reset half-way", "talven.stream", RLIM_INFINITY, "offline",
         "The connection to the internet was lost."},
        // The kernel refuses to let a file grow past the limit, as a full disk would: no retry.
        {"disk full", "talven.capture", 4 << 20, "space", "There was not enough free disk space."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlowHarness h(sharedVendor());
        h.start();
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        auto previous = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{c.fileSizeLimit, before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);

        installSelected(h, {c.faulty});
        waitForResults(h, 1, 60);

        ::setrlimit(RLIMIT_FSIZE, &before);
        ::signal(SIGXFSZ, previous);
        EXPECT_EQ(resultFor(h, c.faulty), (Json{{"type", "result"},
                                                {"id", c.faulty},
                                                {"ok", false},
                                                {"error", "download"},
                                                {"reason", c.reason}}));
        // The row says why in words, and its details what went wrong and the server; the
        // bridge's word stays on the row, unseen.
        const std::string details = "document.querySelector('[data-product=\"" +
                                    std::string(c.faulty) + "\"] [data-failure-details]')";
        EXPECT_TRUE(h.waitFor("!" + details + ".hidden", 5));
        EXPECT_EQ(h.eval("(d => [d.dataset.reason, ...[...d.querySelectorAll('p')].slice(0, 2)"
                         ".map(p => p.textContent)])(" +
                         details + ")"),
                  (Json{c.reason, c.cause, "Server: downloads.brenlow.example"}));
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
    const auto kept = package["size"].get<std::uintmax_t>() / 10;  // what the server sends first
    const std::string entry = "Suite.snapshot().install.items['talven.board']?.";
    ASSERT_TRUE(h.click(row + " [data-install]"));
    ASSERT_TRUE(h.waitFor(entry + "pct > 0")) << "the first bytes, then the server goes quiet";
    ASSERT_TRUE(h.waitFor("document.querySelector('" + cancel + "').checkVisibility()", 5));
    ASSERT_TRUE(h.click(cancel));
    EXPECT_EQ(waitForResults(h, 1, 10).back().value("reason", ""), "cancelled");
    EXPECT_TRUE(h.waitFor(
        "document.activeElement === document.querySelector('" + row + " [data-install]')", 5));
    EXPECT_NE(rowValue(h, "talven.board", "innerText").find("the part already downloaded is kept"),
              std::string::npos);
    // The transfer's file is closed once the client has stopped it.
    EXPECT_TRUE(gtk::spinUntil(
        [&] {
            std::error_code error;
            return packagesIn(h.downloads()) ==
                       std::vector<std::string>{part, part + ".validator"} &&
                   fs::file_size(h.downloads() / part, error) == kept;
        },
        5))
        << packagesIn(h.downloads()).size();

    ASSERT_TRUE(h.click(row + " [data-install]"));
    ASSERT_TRUE(h.waitFor(entry + "resumedAt > 0"));
    const Json last = h.vendor().requests().back();  // the catalog's requests are not logged
    EXPECT_TRUE(last["path"].get<std::string>().ends_with(package["file"].get<std::string>()));
    EXPECT_EQ(last.value("range", Json()), "bytes=" + std::to_string(kept) + "-") << last;
    EXPECT_TRUE(last.value("ifRange", Json()).is_string()) << last;
    EXPECT_TRUE(h.waitFor("document.querySelector('" + row + "').innerText.includes('resumed')"));
    ASSERT_TRUE(h.click(cancel));
    EXPECT_EQ(waitForResults(h, 2, 10).size(), 2u);
}

}  // namespace
}  // namespace suite::flows
