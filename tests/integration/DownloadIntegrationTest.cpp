// The downloader through the real HTTP client against servers on this machine: lengths known and
// unknown, error answers, redirects, connections that break or go quiet, and the files each leaves.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Downloader.h"
#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;
using testing::RawLoopbackServer;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string bytes(std::size_t count) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char>('a' + i % 23);
    return out;
}

class DownloadIntegration : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.http().Get("/package", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(bytes(4 << 20), "application/octet-stream");
        });
        server_.http().Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/package");
        });
        server_.http().Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>no such package</html>", "text/html");
        });
        server_.http().Get("/unsized", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [](std::size_t offset, httplib::DataSink& sink) {
                                                      if (offset >= (1u << 20)) {
                                                          sink.done();
                                                          return true;
                                                      }
                                                      const std::string piece = bytes(64 << 10);
                                                      return sink.write(piece.data(), piece.size());
                                                  });
        });
        ASSERT_TRUE(server_.start());
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        client_ = std::make_unique<CurlHttpClient>(queue_, options);
    }

    struct Outcome {
        std::optional<std::filesystem::path> file;
        std::optional<DownloadError> error;
    };

    std::shared_ptr<Downloader> start(const std::string& url, double timeoutSeconds = 30) {
        auto downloader = Downloader::create(*client_, queue_, timeoutSeconds);
        downloader->onProgress = [this](double pct) { reports_.push_back(pct); };
        downloader->onDone = [this](std::optional<std::filesystem::path> file,
                                    std::optional<DownloadError> error) {
            outcomes_.push_back({std::move(file), std::move(error)});
        };
        downloader->start(url, dest_);
        return downloader;
    }

    // Runs the main queue until the outcome is in, then a little longer so that a second one
    // would show.
    const Outcome& finish() {
        EXPECT_TRUE(testing::runUntil(
            queue_, [this] { return !outcomes_.empty(); }, 15s));
        testing::runUntil(
            queue_, [] { return false; }, 50ms);
        EXPECT_EQ(outcomes_.size(), 1u);
        static const Outcome none{};
        return outcomes_.empty() ? none : outcomes_.front();
    }

    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fakes::TempDir dir_;
    std::filesystem::path dest_ = dir_ / "Suite.pkg";
    ManualMainQueue queue_;
    LoopbackServer server_;
    std::unique_ptr<CurlHttpClient> client_;
    std::vector<double> reports_;
    std::vector<Outcome> outcomes_;
};

TEST_F(DownloadIntegration, ExistingDestinationIsReplacedWithProgressOnTheWay) {
    std::ofstream(dest_) << "last week's package";
    start(server_.url("/package"));
    const Outcome& outcome = finish();
    EXPECT_EQ(outcome.file, dest_);
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(readFile(dest_) == bytes(4 << 20));
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
    ASSERT_FALSE(reports_.empty());
    for (std::size_t i = 0; i < reports_.size(); ++i) {
        EXPECT_GT(reports_[i], 0);
        EXPECT_LE(reports_[i], 100);
        if (i > 0) {
            EXPECT_GE(reports_[i], reports_[i - 1]);
        }
    }
}

TEST_F(DownloadIntegration, RedirectIsFollowed) {
    start(server_.url("/moved"));
    EXPECT_EQ(finish().file, dest_);
    EXPECT_EQ(std::filesystem::file_size(dest_), 4u << 20);
}

TEST_F(DownloadIntegration, UnknownLengthGivesNoProgressAndOneCompletion) {
    start(server_.url("/unsized"));
    EXPECT_EQ(finish().file, dest_);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(std::filesystem::file_size(dest_), 1u << 20);
}

TEST_F(DownloadIntegration, ErrorPageNeitherLandsNorTouchesTheEarlierFile) {
    std::ofstream(dest_) << "kept";
    start(server_.url("/missing"));
    const Outcome& outcome = finish();
    EXPECT_FALSE(outcome.file);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, "http");
    EXPECT_EQ(outcome.error->code, 404);
    EXPECT_EQ(readFile(dest_), "kept");
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
}

TEST_F(DownloadIntegration, ConnectionDroppedMidBodyLeavesNothing) {
    RawLoopbackServer dropping([](int socket, testing::ReleaseGate&) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(
            socket, "HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + bytes(100000));
    });
    ASSERT_NE(dropping.port(), 0);
    std::ofstream(dest_) << "kept";
    start(dropping.url("/package"));
    const Outcome& outcome = finish();
    EXPECT_FALSE(outcome.file);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, "transport");
    EXPECT_EQ(readFile(dest_), "kept");
    EXPECT_EQ(folder(), std::vector<std::string>{"Suite.pkg"});
}

TEST_F(DownloadIntegration, SilentServerTimesOutAndLeavesNothing) {
    RawLoopbackServer stalling([](int socket, testing::ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc");
        gate.wait(5000ms);
    });
    ASSERT_NE(stalling.port(), 0);
    const auto began = std::chrono::steady_clock::now();
    start(stalling.url("/package"), 0.5);
    const Outcome& outcome = finish();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 4s);  // the gate would have held 5 s
    EXPECT_FALSE(outcome.file);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, "transport");
    EXPECT_EQ(outcome.error->code, static_cast<int>(TransportError::TimedOut));
    EXPECT_TRUE(folder().empty());
}

TEST_F(DownloadIntegration, ClientGoingAwayMidTransferLeavesNothing) {
    RawLoopbackServer stalling([](int socket, testing::ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc");
        gate.wait(5000ms);
    });
    ASSERT_NE(stalling.port(), 0);
    start(stalling.url("/package"));
    // Once the server has sent its first bytes, end the client as the program does on quit.
    ASSERT_TRUE(testing::runUntil(
        queue_, [&] { return stalling.connections() == 1; }, 5s));
    testing::runUntil(
        queue_, [] { return false; }, 200ms);
    EXPECT_EQ(folder().size(), 1u);  // the temporary file, the destination not yet
    client_.reset();
    const Outcome& outcome = finish();
    EXPECT_FALSE(outcome.file);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, static_cast<int>(TransportError::Cancelled));
    EXPECT_TRUE(folder().empty());
}

}  // namespace
}  // namespace suite
