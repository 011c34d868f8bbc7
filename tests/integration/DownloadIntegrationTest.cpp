// The downloader through the real HTTP client against loopback servers: the files each outcome leaves.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Downloader.h"
#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
using testing::RawLoopbackServer;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string bytes(std::size_t count) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char>('a' + i % 23);
    return out;
}

// Sends a header and the start of the body, then either hangs up or goes quiet.
RawLoopbackServer::Script cutOff(std::string head, bool stall) {
    return [head, stall](int socket, testing::ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket, head);
        if (stall) gate.wait(5s);
    };
}

struct DownloadIntegration : ::testing::Test {
    void SetUp() override {
        server.http().Get("/package", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(bytes(4 << 20), "application/octet-stream");
        });
        server.http().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<html>no such package</html>", "text/html");
        });
        server.http().Get("/unsized", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [](std::size_t offset,
                                                                            httplib::DataSink& sink) {
                if (offset >= (1u << 20)) return sink.done(), true;
                const std::string piece = bytes(64 << 10);
                return sink.write(piece.data(), piece.size());
            });
        });
        ASSERT_TRUE(server.start());
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        client = std::make_unique<CurlHttpClient>(queue, options);
    }

    struct Outcome {
        std::optional<std::filesystem::path> file;
        std::optional<DownloadError> error;
    };

    std::shared_ptr<Downloader> start(const std::string& url, double timeoutSeconds = 30) {
        auto downloader = Downloader::create(*client, queue, timeoutSeconds);
        downloader->onProgress = [this](double pct) { reports.push_back(pct); };
        downloader->onDone = [this](auto file, auto error) {
            outcomes.push_back({std::move(file), std::move(error)});
        };
        downloader->start(url, dest);
        return downloader;
    }

    // The outcome, after waiting a little longer so that a second one would show.
    Outcome finish() {
        EXPECT_TRUE(testing::runUntil(queue, [this] { return !outcomes.empty(); }, 15s));
        testing::runUntil(queue, [] { return false; }, 50ms);
        EXPECT_EQ(outcomes.size(), 1u);
        return outcomes.empty() ? Outcome{} : outcomes.front();
    }

    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fakes::TempDir dir;
    std::filesystem::path dest = dir / "Suite.pkg";
    ManualMainQueue queue;
    testing::LoopbackServer server;
    std::unique_ptr<CurlHttpClient> client;
    std::vector<double> reports;
    std::vector<Outcome> outcomes;
};

TEST_F(DownloadIntegration, ExistingDestinationIsReplacedWithOrderedProgress) {
    std::ofstream(dest) << "last week's package";
    start(server.url("/package"));
    const Outcome outcome = finish();
    EXPECT_EQ(outcome.file, dest);
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(readFile(dest) == bytes(4 << 20));
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
    ASSERT_FALSE(reports.empty());
    EXPECT_GT(reports.front(), 0);
    EXPECT_LE(reports.back(), 100);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

TEST_F(DownloadIntegration, UnknownLengthGivesNoProgress) {
    start(server.url("/unsized"));
    EXPECT_EQ(finish().file, dest);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(std::filesystem::file_size(dest), 1u << 20);
}

TEST_F(DownloadIntegration, FailuresLeaveNoFileAndTheEarlierOneUntouched) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n";
    RawLoopbackServer dropping(cutOff(head + bytes(100000), false));
    RawLoopbackServer stalling(cutOff(head + "abc", true));
    ASSERT_NE(dropping.port(), 0);
    ASSERT_NE(stalling.port(), 0);
    const struct {
        std::string url;
        std::string domain;
        int code;
    } cases[] = {
        {server.url("/missing"), "http", 404},
        {dropping.url("/p"), "transport", static_cast<int>(TransportError::ConnectionLost)},
        {stalling.url("/p"), "transport", static_cast<int>(TransportError::TimedOut)},
    };
    std::ofstream(dest) << "kept";
    for (const auto& c : cases) {
        outcomes.clear();
        start(c.url, 0.5);
        const Outcome outcome = finish();
        EXPECT_FALSE(outcome.file) << c.url;
        ASSERT_TRUE(outcome.error) << c.url;
        EXPECT_EQ(outcome.error->domain, c.domain);
        EXPECT_EQ(outcome.error->code, c.code);
        EXPECT_EQ(readFile(dest), "kept");
        EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
    }
}

TEST_F(DownloadIntegration, ClientGoingAwayMidTransferLeavesNothing) {
    RawLoopbackServer stalling(cutOff("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc", true));
    ASSERT_NE(stalling.port(), 0);
    start(stalling.url("/package"));
    ASSERT_TRUE(testing::runUntil(queue, [&] { return stalling.connections() == 1; }, 5s));
    testing::runUntil(queue, [] { return false; }, 200ms);
    EXPECT_EQ(folder().size(), 1u);  // the temporary file, the destination not yet
    client.reset();
    const Outcome outcome = finish();
    EXPECT_FALSE(outcome.file);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, static_cast<int>(TransportError::Cancelled));
    EXPECT_TRUE(folder().empty());
}

}  // namespace
}  // namespace suite
