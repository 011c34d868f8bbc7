// The downloader against a fake HTTP client on the manual main queue and its virtual clock: going
// on from a partial file, the retry schedule, mirrors (also after bytes that fail the digest) and
// progress that never goes back. The event a failed digest ends in is the install queue's.
#include <gtest/gtest.h>

#include <fstream>

#include "bridge/Events.h"
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
    std::vector<DownloadResult> outcomes;
    std::vector<double> reports;
    std::vector<double> resumed;

    std::shared_ptr<Downloader> start(std::vector<std::string> urls = {kUrl},
                                      std::optional<std::string> sha256 = kDigest) {
        auto downloader = Downloader::create(http, queue,
                                             {.timeoutSeconds = 30,
                                              .userAgent = "TALVEN Suite/3.1 (Linux)",
                                              .now = [this] { return queue.now(); },
                                              .freeSpace = [](auto&) { return std::nullopt; }});
        downloader->onProgress = [this](double pct) { reports.push_back(pct); };
        downloader->onResumed = [this](double pct) { resumed.push_back(pct); };
        downloader->onDone = [this](DownloadResult result) {
            outcomes.push_back(std::move(result));
        };
        downloader->start({std::move(urls), dest, 1000, std::move(sha256)});
        return downloader;
    }
    const HttpRequest& request(std::size_t call) { return http.calls.at(call)->request; }
    std::string failure() {
        EXPECT_EQ(outcomes.size(), 1u);
        if (outcomes.empty() || outcomes[0]) return "none";
        return bridge::reasonWord(outcomes[0].error().reason);
    }
    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

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
    } cases[] = {
        {"206 continues", v1, 206, "bytes", 8, {0.8}, "\"v1\""},
        {"date when the ETag is weak", weak, 206, "bytes", 8, {0.8}, "Mon, 07 Dec"},
        // Without a validator nobody can tell whether the kept bytes are still the file's.
        {"no validator", {}, 200, "package bytes", 0, {}, ""},
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
        EXPECT_EQ(readWholeFile(dest), "package bytes");
        EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
        std::filesystem::remove(dest);
        http.calls.clear();
    }
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
        std::string wrong = "";             // of each attempt: 'x' sends other bytes
    } cases[] = {
        {"retries", false, {reset, e503, reset, e503}, {0, 1, 5, 21}, "....", "http-503"},
        {"Retry-After capped at 60 s", false, {busy("3600"), ok}, {0, 60}, "..", "none"},
        {"full disk: no address helps", true, {failed(E::DiskFull)}, {0}, ".", "space"},
        {"404, then the mirror at once", true, {answer(404), ok}, {0, 0}, ".m", "none"},
        {"mirror", true, {reset, reset, reset, reset, ok}, {0, 1, 5, 21, 21}, "....m", "none"},
        {"every one fails", true, {answer(404), failed(E::HostNotFound)}, {0, 0}, ".m", "dns"},
        {"wrong bytes: the mirror at once", true, {ok, ok}, {0, 0}, ".m", "none", "x"},
        {"wrong bytes everywhere", true, {ok, ok}, {0, 0}, ".m", "digest", "xx"},
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
            const bool wrong = i < c.wrong.size() && c.wrong[i] == 'x';
            http.stream(i, wrong ? "package byte!" : "package bytes", c.answers[i]);
        }
        queue.runUntilIdle(120);
        EXPECT_EQ(http.calls.size(), c.answers.size()) << "no attempt beyond the schedule";
        EXPECT_EQ(failure(), c.reason);
        std::filesystem::remove(dest);
    }
}

TEST_F(Download, ProgressIsThrottledNeverGoesBackAndNeedsAKnownLength) {
    start();
    auto progress = [&](std::size_t call, std::uint64_t bytes, std::optional<std::uint64_t> total,
                        int status = 200) {
        HttpProgress p;
        p.received = bytes;
        p.totalToReceive = total;
        p.status = status;
        http.calls.at(call)->onProgress(p);
    };
    progress(0, 70, 80, 404);       // an error page's body is never the package's
    progress(0, 10, std::nullopt);  // no length: never a report
    progress(0, 0, 80);             // the header is in, no body yet
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

}  // namespace
}  // namespace suite
