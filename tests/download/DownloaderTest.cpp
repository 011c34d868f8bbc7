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

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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

    struct Outcome {
        std::optional<std::filesystem::path> file;
        std::optional<DownloadError> error;
    };
    std::vector<Outcome> outcomes;
    std::vector<double> reports;

    std::shared_ptr<Downloader> make() {
        auto downloader = Downloader::create(http, queue, 30, [this] { return queue.now(); });
        downloader->onProgress = [this](double pct) { reports.push_back(pct); };
        downloader->onDone = [this](std::optional<std::filesystem::path> file,
                                    std::optional<DownloadError> error) {
            outcomes.push_back({std::move(file), std::move(error)});
        };
        return downloader;
    }

    // What the server sends: the client streams it into the request's file, then answers.
    void serve(std::size_t call, const std::string& body, HttpResponse response) {
        std::ofstream(http.calls.at(call)->request.responseFile, std::ios::binary) << body;
        http.answer(call, std::move(response));
    }
    void progress(std::size_t call, const HttpProgress& progress) {
        http.calls.at(call)->onProgress(progress);
    }
};

TEST_F(Download, StreamsIntoAPrivateFileBesideTheDestinationThenRenames) {
    make()->start("https://brenlow.example/Suite.pkg", dest);
    ASSERT_EQ(http.calls.size(), 1u);
    const HttpRequest& request = http.calls[0]->request;
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.url, "https://brenlow.example/Suite.pkg");
    EXPECT_EQ(request.timeoutSeconds, 30);
    EXPECT_EQ(request.responseFile.parent_path(), dir.path());
    EXPECT_EQ(request.responseFile.filename().string().rfind("Suite.pkg.part-", 0), 0u);
    // Created up front, exclusively and for this user only, so nobody else can take the name.
    EXPECT_TRUE(std::filesystem::exists(request.responseFile));
    EXPECT_EQ(
        std::filesystem::status(request.responseFile).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(std::filesystem::exists(dest));

    serve(0, "package bytes", FakeHttpClient::reply(200, ""));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].file, dest);
    EXPECT_FALSE(outcomes[0].error);
    EXPECT_EQ(readFile(dest), "package bytes");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"Suite.pkg"});

    // Another transfer to the same name, even at the same time, gets a file of its own.
    make()->start("https://brenlow.example/Suite.pkg", dest);
    make()->start("https://brenlow.example/Suite.pkg", dest);
    EXPECT_NE(http.calls[1]->request.responseFile, http.calls[2]->request.responseFile);
}

TEST_F(Download, PartialContentSucceedsAndReplacesAnEarlierFile) {
    std::ofstream(dest) << "last week's package";
    make()->start("https://brenlow.example/Suite.pkg", dest);
    serve(0, "new", FakeHttpClient::reply(206, ""));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].file, dest);
    EXPECT_EQ(readFile(dest), "new");
}

TEST_F(Download, AnyOtherStatusIsAnHttpErrorAndLeavesTheFolderAsItWas) {
    std::ofstream(dest) << "kept";
    for (int status : {404, 500, 301, 204, 0}) {
        outcomes.clear();
        make()->start("https://brenlow.example/Suite.pkg", dest);
        serve(http.calls.size() - 1, "<html>not here</html>", FakeHttpClient::reply(status, ""));
        ASSERT_EQ(outcomes.size(), 1u) << status;
        EXPECT_FALSE(outcomes[0].file) << status;
        ASSERT_TRUE(outcomes[0].error) << status;
        EXPECT_EQ(outcomes[0].error->domain, "http");
        EXPECT_EQ(outcomes[0].error->code, status);
        EXPECT_EQ(readFile(dest), "kept");
        EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"Suite.pkg"}) << status;
    }
}

TEST_F(Download, TransportFailureWinsOverAStatusThatLookedFine) {
    // A connection lost mid-body still carries the 200 of its header.
    make()->start("https://brenlow.example/Suite.pkg", dest);
    HttpResponse lost = FakeHttpClient::failure(TransportError::ConnectionLost);
    lost.status = 200;
    serve(0, "half a pack", lost);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].file);
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->domain, "transport");
    EXPECT_EQ(outcomes[0].error->code, static_cast<int>(TransportError::ConnectionLost));
    EXPECT_TRUE(folderNames(dir.path()).empty());
}

TEST_F(Download, ProgressIsThrottledOnTheClockAndNeedsAKnownLength) {
    make()->start("https://brenlow.example/Suite.pkg", dest);
    progress(0, received(10, std::nullopt));  // no length: never a report
    progress(0, received(10, 0));
    progress(0, received(0, 80));  // the header is in, no body yet
    EXPECT_TRUE(reports.empty());

    progress(0, received(30, 80));  // the first data is reported at once
    queue.advance(0.15);
    progress(0, received(40, 80));  // exactly the interval is still too soon
    queue.advance(0.001);
    progress(0, received(50, 80));
    queue.advance(0.1);
    progress(0, received(60, 80));  // measured from the last report, not the last call
    queue.advance(0.2);
    progress(0, received(80, 80));
    EXPECT_EQ(reports, (std::vector<double>{37.5, 62.5, 100.0}));

    serve(0, "", FakeHttpClient::reply(200, ""));
    EXPECT_EQ(outcomes.size(), 1u);
}

TEST_F(Download, OwnerMayDropTheDownloaderBeforeItEnds) {
    std::weak_ptr<Downloader> watched;
    {
        auto downloader = make();
        watched = downloader;
        downloader->start("https://brenlow.example/Suite.pkg", dest);
    }
    EXPECT_FALSE(watched.expired());
    serve(0, "bytes", FakeHttpClient::reply(200, ""));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].file, dest);
    // Once the outcome is out, nothing holds it any longer.
    http.calls.clear();
    EXPECT_TRUE(watched.expired());
}

TEST_F(Download, MissingFolderFailsThroughTheQueueWithoutARequest) {
    make()->start("https://brenlow.example/Suite.pkg", dir / "gone" / "Suite.pkg");
    EXPECT_TRUE(http.calls.empty());
    EXPECT_TRUE(outcomes.empty());  // never from inside start()
    queue.runReady();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].file);
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->domain, "file");
    EXPECT_EQ(outcomes[0].error->code, ENOENT);
}

TEST_F(Download, DestinationThatCannotBeReplacedFailsAndLeavesNoTemporaryFile) {
    std::filesystem::create_directories(dest / "inside");
    make()->start("https://brenlow.example/Suite.pkg", dest);
    serve(0, "bytes", FakeHttpClient::reply(200, ""));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].file);
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->domain, "file");
    EXPECT_TRUE(std::filesystem::is_directory(dest / "inside"));
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"Suite.pkg"});
}

TEST_F(Download, AbandonedTransferTakesItsTemporaryFileAlong) {
    // The program goes down with the transfer in flight: the client drops its handlers without
    // ever completing.
    make()->start("https://brenlow.example/Suite.pkg", dest);
    std::ofstream(http.calls[0]->request.responseFile) << "half";
    http.calls.clear();
    EXPECT_TRUE(outcomes.empty());
    EXPECT_TRUE(folderNames(dir.path()).empty());
}

}  // namespace
}  // namespace suite
