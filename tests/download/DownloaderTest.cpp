// The downloader against a fake HTTP client on the manual main queue and its virtual clock: the
// digest taken while the bytes arrive, going on from a partial file, the retry schedule, mirrors,
// the space check and progress that never goes back.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Downloader.h"
#include "fakes/FakePlatform.h"
#include "fakes/TempDir.h"
#include "platform/Files.h"
#include "platform/ManualMainQueue.h"

namespace suite {
namespace {

using fakes::FakeHttpClient;
constexpr const char* kUrl = "https://brenlow.example/Suite.pkg";
constexpr const char* kMirror = "https://mirror.brenlow.example/Suite.pkg";
// SHA-256 of "package bytes" (Python's hashlib).
constexpr const char* kDigest = "2e547448dcd0f2fcd9dbc386d33f1553369883451898177559bcf3e3b1083d16";

HttpResponse answer(int status, HttpHeaders headers = {},
                    TransportError error = TransportError::None) {
    HttpResponse response = FakeHttpClient::failure(error);
    response.status = status;
    response.headers = std::move(headers);
    return response;
}

struct Download : ::testing::Test {
    fakes::TempDir dir;
    ManualMainQueue queue;
    FakeHttpClient http;
    std::filesystem::path dest = dir / "Suite.pkg";
    std::optional<std::uint64_t> free;  // nothing: the file system cannot tell
    std::vector<std::pair<std::optional<std::filesystem::path>, std::optional<DownloadError>>>
        outcomes;
    std::vector<double> reports;
    std::vector<double> resumed;

    std::shared_ptr<Downloader> start(std::vector<std::string> urls = {kUrl},
                                      std::optional<std::string> sha256 = kDigest) {
        auto downloader = Downloader::create(http, queue,
                                             {.timeoutSeconds = 30,
                                              .userAgent = "TALVEN Suite/3.1 (Linux)",
                                              .now = [this] { return queue.now(); },
                                              .freeSpace = [this](auto&) { return free; }});
        downloader->onProgress = [this](double pct) { reports.push_back(pct); };
        downloader->onResumed = [this](double pct) { resumed.push_back(pct); };
        downloader->onDone = [this](auto file, auto error) { outcomes.emplace_back(file, error); };
        downloader->start({std::move(urls), dest, 1000, std::move(sha256)});
        return downloader;
    }
    const HttpRequest& request(std::size_t call) { return http.calls.at(call)->request; }
    // The program goes down mid-transfer, after `bytes` of an answer with `etag`: its client
    // drops the handlers, no completion ever comes.
    void dropAfter(const std::string& bytes, const std::string& etag) {
        start();
        http.headersIn(0, 200, {{"ETag", etag}});
        std::ofstream(request(0).responseFile, std::ios::binary) << bytes;
        http.calls.clear();
    }
    std::string failure() {
        EXPECT_EQ(outcomes.size(), 1u);
        if (outcomes.empty() || !outcomes[0].second) return "none";
        EXPECT_FALSE(outcomes[0].first);
        return outcomes[0].second->reason;
    }
    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Download, DigestIsTakenAsTheBytesArriveAndDecidesWhatReachesTheDestination) {
    std::ofstream(dest) << "last week's package";
    start();
    EXPECT_TRUE(request(0).responseDigest);
    EXPECT_EQ(request(0).url, kUrl);
    EXPECT_EQ(request(0).headers, (HttpHeaders{{"User-Agent", "TALVEN Suite/3.1 (Linux)"}}));
    // Named after the package, inside the download folder, so a later run finds it.
    EXPECT_EQ(request(0).responseFile, dir / (std::string(kDigest) + ".part"));
    http.stream(0, "not the package", answer(200));
    EXPECT_EQ(failure(), "digest");
    EXPECT_EQ(readWholeFile(dest), "last week's package");
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});

    outcomes.clear();
    start({kUrl}, std::string(kDigest).replace(0, 2, "2E"));  // the digest's case does not matter
    http.stream(1, "package bytes", answer(206, {{"Content-Range", "bytes 0-12/13"}}));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, dest);
    EXPECT_EQ(readWholeFile(dest), "package bytes");
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
}

// What the next attempt asks for after a dropped transfer, and what it does with the answer.
TEST_F(Download, PartialFileIsContinuedOnlyWhileItsValidatorStillHolds) {
    const HttpHeaders v1 = {{"ETag", "\"v1\""}};
    const HttpHeaders weak = {{"ETag", "W/\"v1\""}, {"Last-Modified", "Mon, 07 Dec"}};
    const struct {
        const char* name;
        HttpHeaders firstHeaders;  // of the answer that dropped
        int status;                // of the second answer
        std::string secondBody;
        std::uint64_t expectedFrom;
        std::vector<double> resumedAt;  // what the downloader says it went on from
        const char* expectedIfRange;
        std::size_t calls;
    } cases[] = {
        {"206 continues", v1, 206, "bytes", 8, {0.8}, "\"v1\"", 2},
        {"date when the ETag is weak", weak, 206, "bytes", 8, {0.8}, "Mon, 07 Dec", 2},
        {"200 starts again", v1, 200, "package bytes", 8, {}, "\"v1\"", 2},
        // The range does not fit the file the server has now: once more from nothing, at once.
        {"416 starts again", v1, 416, "", 8, {}, "\"v1\"", 3},
        // Without a validator nobody can tell whether the kept bytes are still the file's.
        {"no validator", {}, 200, "package bytes", 0, {}, "", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        outcomes.clear();
        start();
        http.headersIn(0, 200, c.firstHeaders);
        http.stream(0, "package ", answer(200, {}, TransportError::ConnectionLost));
        EXPECT_TRUE(outcomes.empty());
        queue.advance(1);  // the first retry's wait
        ASSERT_EQ(http.calls.size(), 2u);
        EXPECT_EQ(request(1).resumeFrom, c.expectedFrom);
        EXPECT_EQ(request(1).ifRange, c.expectedIfRange);
        http.headersIn(1, c.status, {});
        EXPECT_EQ(std::exchange(resumed, {}), c.resumedAt);
        http.stream(1, c.secondBody, answer(c.status));
        EXPECT_EQ(http.calls.size(), c.calls);
        if (c.calls == 3) {
            EXPECT_EQ(request(2).resumeFrom, 0u);
            http.stream(2, "package bytes", answer(200));
        }
        EXPECT_EQ(readWholeFile(dest), "package bytes");
        EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
        std::filesystem::remove(dest);
        http.calls.clear();
    }
}

TEST_F(Download, ContinuedFileThatFailsTheDigestIsFetchedOnceMoreWholeAndKeptAcrossRuns) {
    dropAfter("packagX ", "\"v1\"");  // the program went down: the bytes and validator stay
    EXPECT_EQ(folder().size(), 2u);
    start();  // the next run of the same item
    EXPECT_EQ(request(0).resumeFrom, 8u);
    EXPECT_EQ(request(0).ifRange, "\"v1\"");
    http.stream(0, "bytes", answer(206));
    ASSERT_EQ(http.calls.size(), 2u);
    EXPECT_EQ(request(1).resumeFrom, 0u);
    http.stream(1, "package bytes", answer(200));
    EXPECT_EQ(readWholeFile(dest), "package bytes");

    // A whole fresh copy that fails is the catalog's problem: no third attempt.
    outcomes.clear();
    dropAfter("packagX ", "\"v1\"");
    start();
    http.stream(0, "bytes", answer(206));
    http.stream(1, "packagX bytes", answer(200));
    EXPECT_EQ(failure(), "digest");
    EXPECT_EQ(http.calls.size(), 2u);
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
}

// When each attempt starts on the virtual clock, and how the download ends.
TEST_F(Download, TransientFailuresAreRetriedOnScheduleThenTheMirrorThenItFails) {
    const HttpResponse reset = answer(200, {}, TransportError::ConnectionLost), ok = answer(200);
    const HttpResponse e503 = answer(503);
    auto failed = [](TransportError error) { return answer(0, {}, error); };
    auto busy = [](const char* seconds) { return answer(429, {{"Retry-After", seconds}}); };
    using E = TransportError;
    const struct {
        const char* name;
        bool mirror;                        // a second address after the catalog's
        std::vector<HttpResponse> answers;  // one per attempt, in order
        std::vector<double> startedAt;      // of each attempt
        std::string hosts;                  // of each attempt: 'm' the mirror, '.' the first
        const char* reason;                 // "none": the package arrived
    } cases[] = {
        {"retries", false, {reset, e503, reset, e503}, {0, 1, 5, 21}, "....", "http-503"},
        {"a retry that works", false, {answer(502), ok}, {0, 1}, "..", "none"},
        {"timeout", false, {failed(E::TimedOut), ok}, {0, 1}, "..", "none"},
        {"Retry-After honoured", false, {busy("30"), ok}, {0, 30}, "..", "none"},
        {"Retry-After capped at 60 s", false, {busy("3600"), ok}, {0, 60}, "..", "none"},
        {"404 at once", false, {answer(404)}, {0}, ".", "http-404"},
        {"403 at once", false, {answer(403)}, {0}, ".", "http-403"},
        {"TLS at once", false, {failed(E::Tls)}, {0}, ".", "tls"},
        {"full disk: no address helps", true, {failed(E::DiskFull)}, {0}, ".", "space"},
        {"404, then the mirror at once", true, {answer(404), ok}, {0, 0}, ".m", "none"},
        {"mirror", true, {reset, reset, reset, reset, ok}, {0, 1, 5, 21, 21}, "....m", "none"},
        {"every one fails", true, {answer(404), failed(E::HostNotFound)}, {0, 0}, ".m", "dns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        outcomes.clear();
        http.calls.clear();
        const double begin = queue.now();
        start(c.mirror ? std::vector<std::string>{kUrl, kMirror} : std::vector<std::string>{kUrl});
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            queue.runUntilIdle(120);
            ASSERT_EQ(http.calls.size(), i + 1);
            EXPECT_DOUBLE_EQ(queue.now() - begin, c.startedAt[i]) << i;
            EXPECT_EQ(request(i).url, c.hosts[i] == 'm' ? kMirror : kUrl) << i;
            http.stream(i, "package bytes", c.answers[i]);
        }
        queue.runUntilIdle(120);
        EXPECT_EQ(http.calls.size(), c.answers.size()) << "no attempt beyond the schedule";
        EXPECT_EQ(failure(), c.reason);
        std::filesystem::remove(dest);
    }
}

TEST_F(Download, ProgressIsThrottledNeverGoesBackAndNeedsAKnownLength) {
    start();
    auto progress = [&](std::size_t call, std::uint64_t bytes, std::optional<std::uint64_t> total) {
        HttpProgress p;
        p.received = bytes;
        p.totalToReceive = total;
        http.calls.at(call)->onProgress(p);
    };
    progress(0, 10, std::nullopt);  // no length: never a report
    progress(0, 10, 0);
    progress(0, 0, 80);  // the header is in, no body yet
    EXPECT_TRUE(reports.empty());
    progress(0, 30, 80);  // the first data is reported at once
    queue.advance(0.15);
    progress(0, 40, 80);  // exactly the interval is still too soon
    queue.advance(0.001);
    progress(0, 50, 80);
    http.stream(0, "", answer(200, {}, TransportError::ConnectionLost));
    queue.advance(1);
    progress(1, 20, 80);  // the retry had to start over: silent until it has caught up
    queue.advance(0.2);
    progress(1, 60, 80);
    EXPECT_EQ(reports, (std::vector<double>{37.5, 62.5, 75.0}));
}

TEST_F(Download, TooLittleRoomFailsBeforeAnyRequestAndCountsTheKeptBytes) {
    free = 1049;  // 1000 bytes and 5 % more do not fit
    start();
    EXPECT_TRUE(http.calls.empty());
    EXPECT_TRUE(outcomes.empty());  // never from inside start()
    queue.runReady();
    EXPECT_EQ(failure(), "space");

    outcomes.clear();
    free = std::nullopt;
    dropAfter(std::string(100, 'x'), "\"v1\"");
    free = 950;  // the 900 bytes still to come, and 5 % of the package
    start();
    EXPECT_EQ(http.calls.size(), 1u);
    EXPECT_EQ(request(0).resumeFrom, 100u);
}

TEST_F(Download, OwnerMayDropTheDownloaderBeforeItEnds) {
    std::weak_ptr<Downloader> watched = start();
    EXPECT_FALSE(watched.expired());
    http.stream(0, "package bytes", answer(200));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, dest);
    http.calls.clear();  // once the outcome is out, nothing holds it any longer
    EXPECT_TRUE(watched.expired());
}

// What a new run of the program leaves in the download folder.
TEST_F(Download, NewRunKeepsRecentPartialDownloadsAndRemovesEverythingElse) {
    auto write = [&](const std::string& name, int daysOld) {
        std::ofstream(dir / name) << "x";
        std::filesystem::last_write_time(dir / name, std::filesystem::file_time_type::clock::now() -
                                                         std::chrono::hours(24 * daysOld));
    };
    write("recent.part", 6);
    write("recent.part.validator", 6);
    write("old.part", 8);
    write("old.part.validator", 1);
    write("orphan.part.validator", 0);
    write("talven-board-5.0.0.pkg", 0);  // a package an earlier run left
    write("Suite.pkg.part-Ab12Cd", 0);   // an older program's temporary file
    std::filesystem::create_directory(dir / "kept folder");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    tidyDownloadFolder(dir.path(), std::chrono::hours(7 * 24));
    EXPECT_EQ(folder(),
              (std::vector<std::string>{"kept folder", "recent.part", "recent.part.validator"}));
    EXPECT_EQ(std::filesystem::status(dir.path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace suite
