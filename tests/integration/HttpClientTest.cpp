// The libcurl client against real servers on 127.0.0.1: answers, redirects, streamed downloads
// and uploads.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/Files.h"

namespace suite {
namespace {

using testing::request;

// A prime period, so misplaced bytes never line up with buffer sizes.
std::string pattern(std::uint64_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>('a' + (offset + i) % 23);
    return bytes;
}

std::string headerValue(const HttpHeaders& headers, const std::string& name) {
    for (const auto& [key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    return {};
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        auto options = testing::loopbackOptions();
        options.userAgent = "TalvenSuite/1.0 (Linux)";
        client = std::make_unique<CurlHttpClient>(queue, options);
    }
    HttpResponse fetch(HttpRequest r, testing::Recorded* into = nullptr) {
        return testing::fetch(*client, queue, std::move(r), into, std::chrono::seconds(30));
    }
    HttpRequest get(const std::string& path, const std::string& method = "GET") {
        return request(server.url(path), method);
    }

    // Destroyed last: the client closes its connections before the server stops.
    testing::LoopbackServer server;
    ManualMainQueue queue;
    std::unique_ptr<CurlHttpClient> client;
    fakes::TempDir temp;
};

TEST_F(HttpClientTest, FollowsRedirectsAndReportsOnlyTheFinalResponse) {
    std::atomic<int> loops{0};
    server.http().Get("/hop1", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Hop", "1");
        res.set_redirect("hop2", 302);  // relative to /hop1
    });
    server.http().Get("/hop2", [this](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(server.url("/final"), 301);
    });
    server.http().Get("/final", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Final", "yes");
        res.status = 404;  // an answer all the same, whatever its status
        res.set_content("final", "text/plain");
    });
    server.http().Get("/loop", [&loops](const httplib::Request&, httplib::Response& res) {
        ++loops;
        res.set_redirect("/loop", 302);
    });
    const HttpResponse followed = fetch(get("/hop1"));
    EXPECT_EQ(followed.error, TransportError::None) << followed.errorMessage;
    EXPECT_EQ(followed.status, 404);
    EXPECT_EQ(followed.body, "final");
    EXPECT_EQ(followed.finalUrl, server.url("/final"));
    EXPECT_EQ(headerValue(followed.headers, "X-Final"), "yes");
    EXPECT_EQ(headerValue(followed.headers, "X-Hop"), "");

    EXPECT_EQ(fetch(get("/loop")).error, TransportError::RedirectRefused);
    EXPECT_EQ(loops.load(), 11);  // the first request and ten redirects, then it gives up
}

TEST_F(HttpClientTest, StreamsDownloadsIntoAFileWithOrderedProgressUpToItsLimit) {
    constexpr std::uint64_t kSize = 8u << 20;
    auto provide = [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        const std::string bytes = pattern(offset, std::min<std::size_t>(length, 256 << 10));
        return sink.write(bytes.data(), bytes.size());
    };
    server.http().Get("/sized", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(kSize, "application/octet-stream", provide);
    });
    // Chunked: curl knows no length, which must not come out as a huge or zero total.
    server.http().Get("/chunked", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream",
                                         [&](std::size_t offset, httplib::DataSink& sink) {
                                             if (offset >= kSize) return sink.done(), true;
                                             return provide(offset, 64 << 10, sink);
                                         });
    });
    for (const char* path : {"/sized", "/chunked"}) {
        SCOPED_TRACE(path);
        HttpRequest r = get(path);
        r.responseFile = temp / "package.partial";
        // An older download's bytes must not pass for this answer.
        std::ofstream(r.responseFile, std::ios::binary) << std::string(1000, 'x');
        testing::Recorded recorded;
        const HttpResponse response = fetch(r, &recorded);
        EXPECT_EQ(response.status, 200);
        EXPECT_TRUE(response.body.empty());
        EXPECT_TRUE(readWholeFile(r.responseFile) == pattern(0, kSize));
        ASSERT_FALSE(recorded.progress.empty());
        EXPECT_EQ(recorded.progressAfterCompletion, 0);
        EXPECT_TRUE(std::is_sorted(recorded.progress.begin(), recorded.progress.end(),
                                   [](auto& a, auto& b) { return a.received < b.received; }));
        EXPECT_EQ(recorded.progress.back().received, kSize);
        EXPECT_EQ(recorded.progress.back().totalToReceive,
                  path == std::string("/sized") ? std::optional(kSize) : std::nullopt);

        // One byte short of the whole: refused up front when the length is announced, stopped
        // as the bytes arrive when it is not.
        r.maxBodyBytes = kSize - 1;
        EXPECT_EQ(fetch(r).error, TransportError::TooLarge);
    }
    // A body kept in memory stops at the default limit, however long the server goes on.
    server.http().Get("/endless", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain",
                                         [&](std::size_t offset, httplib::DataSink& sink) {
                                             return provide(offset, 64 << 10, sink);
                                         });
    });
    const HttpResponse endless = fetch(get("/endless"));
    EXPECT_EQ(endless.error, TransportError::TooLarge);
    EXPECT_LE(endless.body.size(), kDefaultMaxBodyBytes);

    // Not even when no byte of the answer arrives.
    server.http().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Length", "0");
    });
    HttpRequest empty = get("/empty");
    empty.responseFile = temp / "package.partial";
    EXPECT_EQ(fetch(empty).error, TransportError::None);
    EXPECT_EQ(readWholeFile(empty.responseFile), "");
}

TEST_F(HttpClientTest, UploadsAFileWithPutAndReportsWhatWasSent) {
    constexpr std::size_t kSize = 3u << 20;
    std::string verdict;
    server.http().Put("/upload", [&](const httplib::Request& req, httplib::Response& res) {
        // "Expect: 100-continue" would cost every upload a round trip (or a stall, with servers
        // that never answer it).
        verdict = std::string(req.get_header_value("Content-Length") == std::to_string(kSize)
                                  ? "length ok"
                                  : "length wrong") +
                  (req.body == pattern(0, kSize) ? ", bytes ok" : ", bytes wrong") +
                  (req.has_header("Expect") ? ", Expect sent" : "");
        res.status = 201;
    });
    HttpRequest r = get("/upload", "PUT");
    r.bodyFile = temp / "attachment.bin";
    std::ofstream(r.bodyFile, std::ios::binary) << pattern(0, kSize);
    testing::Recorded recorded;
    EXPECT_EQ(fetch(r, &recorded).status, 201);
    EXPECT_EQ(verdict, "length ok, bytes ok");
    ASSERT_FALSE(recorded.progress.empty());
    EXPECT_TRUE(std::is_sorted(recorded.progress.begin(), recorded.progress.end(),
                               [](auto& a, auto& b) { return a.sent < b.sent; }));
    EXPECT_EQ(recorded.progress.back().sent, kSize);
    EXPECT_EQ(recorded.progress.back().totalToSend, kSize);
}

// Without a body, curl would read one from standard input, and wait.
TEST_F(HttpClientTest, PostSendsItsBodyFromMemoryOrAnEmptyOne) {
    std::vector<std::string> received;
    std::mutex receivedMutex;
    server.http().Post("/feedback", [&](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(receivedMutex);
        received.push_back(req.get_header_value("Content-Type") + " " +
                           req.get_header_value("Content-Length") + " " + req.body);
    });
    HttpRequest r = get("/feedback", "POST");
    r.headers = {{"Content-Type", "application/json"}};
    fetch(r);
    r.body = "{\"message\":\"hello\"}";
    fetch(r);
    std::lock_guard lock(receivedMutex);
    EXPECT_EQ(received, (std::vector<std::string>{"application/json 0 ",
                                                  "application/json 19 {\"message\":\"hello\"}"}));
}

}  // namespace
}  // namespace suite
