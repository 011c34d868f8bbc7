// The downloader against a fake HTTP client on the manual main queue and its virtual clock.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Downloader.h"
#include "fakes/FakePlatform.h"
#include "fakes/TempDir.h"
#include "platform/ManualMainQueue.h"

namespace suite {
namespace {

using fakes::FakeHttpClient;
constexpr const char* kUrl = "https://brenlow.example/Suite.pkg";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

HttpProgress received(std::uint64_t bytes, std::optional<std::uint64_t> total) {
    HttpProgress progress;
    progress.received = bytes;
    progress.totalToReceive = total;
    return progress;
}

struct Download : ::testing::Test {
    fakes::TempDir dir;
    ManualMainQueue queue;
    FakeHttpClient http;
    std::filesystem::path dest = dir / "Suite.pkg";
    std::vector<std::pair<std::optional<std::filesystem::path>, std::optional<DownloadError>>>
        outcomes;
    std::vector<double> reports;

    std::shared_ptr<Downloader> start(const std::filesystem::path& to) {
        auto downloader = Downloader::create(http, queue, 30, [this] { return queue.now(); });
        downloader->onProgress = [this](double pct) { reports.push_back(pct); };
        downloader->onDone = [this](auto file, auto error) { outcomes.emplace_back(file, error); };
        downloader->start(kUrl, to, 1000);
        return downloader;
    }
    // The client streams `body` into the request's file, then answers.
    void serve(std::size_t call, const std::string& body, HttpResponse response) {
        std::ofstream(http.calls.at(call)->request.responseFile, std::ios::binary) << body;
        http.answer(call, std::move(response));
    }
    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    // The one outcome was a failure of `domain`.
    void expectFailed(const std::string& domain) {
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_FALSE(outcomes[0].first);
        ASSERT_TRUE(outcomes[0].second);
        EXPECT_EQ(outcomes[0].second->domain, domain);
    }
};

TEST_F(Download, StreamsIntoAPrivateFileBesideTheDestinationThenReplacesIt) {
    std::ofstream(dest) << "last week's package";
    start(dest);
    ASSERT_EQ(http.calls.size(), 1u);
    const HttpRequest& request = http.calls[0]->request;
    EXPECT_EQ(request.url, kUrl);
    EXPECT_EQ(request.responseFile.parent_path(), dir.path());
    EXPECT_EQ(request.responseFile.filename().string().rfind("Suite.pkg.part-", 0), 0u);
    // Created up front, for this user only, so nobody else can take the name.
    EXPECT_EQ(
        std::filesystem::status(request.responseFile).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(readFile(dest), "last week's package");

    serve(0, "package bytes", FakeHttpClient::reply(206, ""));  // partial content counts too
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, dest);
    EXPECT_FALSE(outcomes[0].second);
    EXPECT_EQ(readFile(dest), "package bytes");
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});

    // Two transfers to the same name at the same time get a file each.
    start(dest);
    start(dest);
    EXPECT_NE(http.calls[1]->request.responseFile, http.calls[2]->request.responseFile);
}

TEST_F(Download, FailedAnswersLeaveTheFolderAsItWas) {
    std::ofstream(dest) << "kept";
    // A connection lost mid-body still carries the 200 of its header: the transport error wins.
    const struct {
        int status;
        TransportError error;
        const char* domain;
        int code;
    } cases[] = {{404, TransportError::None, "http", 404},
                 {204, TransportError::None, "http", 204},
                 {0, TransportError::None, "http", 0},
                 {200, TransportError::ConnectionLost, "transport", int(TransportError::ConnectionLost)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        outcomes.clear();
        start(dest);
        HttpResponse response = FakeHttpClient::failure(c.error);
        response.status = c.status;
        serve(http.calls.size() - 1, "<html>not here</html>", response);
        expectFailed(c.domain);
        EXPECT_EQ(outcomes[0].second->code, c.code);
        EXPECT_EQ(readFile(dest), "kept");
        EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
    }
}

TEST_F(Download, ProgressIsThrottledOnTheClockAndNeedsAKnownLength) {
    start(dest);
    auto progress = [&](std::uint64_t bytes, std::optional<std::uint64_t> total) {
        http.calls[0]->onProgress(received(bytes, total));
    };
    progress(10, std::nullopt);  // no length: never a report
    progress(10, 0);
    progress(0, 80);  // the header is in, no body yet
    EXPECT_TRUE(reports.empty());
    progress(30, 80);  // the first data is reported at once
    queue.advance(0.15);
    progress(40, 80);  // exactly the interval is still too soon
    queue.advance(0.001);
    progress(50, 80);
    queue.advance(0.1);
    progress(60, 80);  // measured from the last report, not the last call
    queue.advance(0.2);
    progress(80, 80);
    EXPECT_EQ(reports, (std::vector<double>{37.5, 62.5, 100.0}));
}

TEST_F(Download, OwnerMayDropTheDownloaderBeforeItEnds) {
    std::weak_ptr<Downloader> watched = start(dest);
    EXPECT_FALSE(watched.expired());
    serve(0, "bytes", FakeHttpClient::reply(200, ""));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, dest);
    http.calls.clear();  // once the outcome is out, nothing holds it any longer
    EXPECT_TRUE(watched.expired());
}

TEST_F(Download, MissingFolderFailsThroughTheQueueWithoutARequest) {
    start(dir / "gone" / "Suite.pkg");
    EXPECT_TRUE(http.calls.empty());
    EXPECT_TRUE(outcomes.empty());  // never from inside start()
    queue.runReady();
    expectFailed("file");
    EXPECT_EQ(outcomes[0].second->code, ENOENT);
}

TEST_F(Download, UnreplaceableDestinationOrAbandonedTransferLeavesNoTemporaryFile) {
    std::filesystem::create_directories(dest / "inside");
    start(dest);
    serve(0, "bytes", FakeHttpClient::reply(200, ""));
    expectFailed("file");
    EXPECT_TRUE(std::filesystem::is_directory(dest / "inside"));
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});

    // The program goes down mid-transfer: the client drops its handlers without completing.
    outcomes.clear();
    std::filesystem::remove_all(dest);
    start(dest);
    std::ofstream(http.calls.back()->request.responseFile) << "half";
    http.calls.clear();
    EXPECT_TRUE(outcomes.empty());
    EXPECT_TRUE(folder().empty());
}

}  // namespace
}  // namespace suite
