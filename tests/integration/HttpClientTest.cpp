// The libcurl client against real servers on 127.0.0.1: answers, redirects, streamed downloads
// and uploads, and exactly which headers reach the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/ManualMainQueue.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using testing::LoopbackServer;
using testing::Recorded;
using testing::runUntilDone;
using testing::startRecorded;

// A prime period, so misplaced bytes never line up with buffer sizes.
std::string pattern(std::uint64_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>('a' + (offset + i) % 23);
    return bytes;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string headerValue(const HttpHeaders& headers, const std::string& name) {
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    }
    return {};
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        options.userAgent = "TalvenSuite/1.0 (Linux)";
        client = std::make_unique<CurlHttpClient>(queue, options);
    }

    HttpResponse fetch(HttpRequest request) {
        Recorded recorded;
        startRecorded(*client, std::move(request), recorded);
        EXPECT_TRUE(runUntilDone(queue, recorded)) << "no completion in time";
        EXPECT_EQ(recorded.completions, 1);
        return recorded.response;
    }

    HttpRequest get(const std::string& path, const std::string& method = "GET") {
        HttpRequest request;
        request.url = server.url(path);
        request.method = method;
        return request;
    }

    // Destroyed last: the client closes its connections before the server stops.
    LoopbackServer server;
    ManualMainQueue queue;
    std::unique_ptr<CurlHttpClient> client;
    fakes::TempDir temp;
};

TEST_F(HttpClientTest, ServerAnswersArriveAsSentWhateverTheirStatus) {
    // httplib answers a Range request with 206 and the slice on its own.
    server.http().Get("/(ok|missing)", [](const httplib::Request& req, httplib::Response& res) {
        if (req.path == "/missing") res.status = 404;
        res.set_header("X-Catalog-Version", "7");
        res.set_content("0123456789", "application/json");
    });
    HttpRequest ranged = get("/ok");
    ranged.headers = {{"Range", "bytes=2-4"}};
    const struct {
        HttpRequest request;
        int status;
        std::string body;
        std::string range;
    } cases[] = {{get("/ok"), 200, "0123456789", ""},
                 {ranged, 206, "234", "bytes 2-4/10"},
                 {get("/missing"), 404, "0123456789", ""}};
    for (const auto& c : cases) {
        const HttpResponse r = fetch(c.request);
        EXPECT_EQ(r.error, TransportError::None) << r.errorMessage;
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.body, c.body);
        EXPECT_EQ(r.finalUrl, c.request.url);
        EXPECT_EQ(headerValue(r.headers, "x-catalog-version"), "7");
        EXPECT_EQ(headerValue(r.headers, "Content-Type"), "application/json");
        EXPECT_EQ(headerValue(r.headers, "Content-Range"), c.range);
    }
}

TEST_F(HttpClientTest, MethodsReachTheServerAsAsked) {
    std::vector<std::string> seen;
    std::mutex seenMutex;
    auto record = [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(seenMutex);
        seen.push_back(req.method + " len=" + req.get_header_value("Content-Length") +
                       " body=" + req.body);
        res.set_content("answer", "text/plain");
    };
    server.http().Get("/m", record).Post("/m", record).Delete("/m", record);

    const HttpResponse headAnswer = fetch(get("/m", "HEAD"));
    EXPECT_EQ(headAnswer.status, 200);
    EXPECT_EQ(headAnswer.body, "");  // a HEAD answer has no body, whatever its Content-Length
    // A POST without a body must not wait for one from anywhere (curl's default is stdin).
    EXPECT_EQ(fetch(get("/m", "POST")).status, 200);
    EXPECT_EQ(fetch(get("/m", "DELETE")).status, 200);

    std::lock_guard lock(seenMutex);
    // httplib answers HEAD through the GET handler; it records the method it was asked.
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "HEAD len= body=", "POST len=0 body=", "DELETE len= body="}));
}

TEST_F(HttpClientTest, FollowsRedirectsAndReportsOnlyTheFinalResponse) {
    std::atomic<int> loops{0};
    server.http().Get("/hop1", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Hop", "1");
        res.set_redirect("hop2", 302);  // relative to /hop1
    });
    server.http().Get("/hop2", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Hop", "2");
        res.set_redirect(server.url("/final"), 301);
    });
    server.http().Get("/final", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Final", "yes");
        res.set_content("final", "text/plain");
    });
    server.http().Get("/loop", [&loops](const httplib::Request&, httplib::Response& res) {
        ++loops;
        res.set_redirect("/loop", 302);
    });

    const HttpResponse followed = fetch(get("/hop1"));
    EXPECT_EQ(followed.error, TransportError::None) << followed.errorMessage;
    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.body, "final");
    EXPECT_EQ(followed.finalUrl, server.url("/final"));
    EXPECT_EQ(headerValue(followed.headers, "X-Final"), "yes");
    EXPECT_EQ(headerValue(followed.headers, "X-Hop"), "");

    const HttpResponse endless = fetch(get("/loop"));
    EXPECT_EQ(endless.error, TransportError::Other);
    EXPECT_EQ(loops.load(), 11);  // the first request and ten redirects, then it gives up
}

TEST_F(HttpClientTest, StreamsALargeDownloadIntoAFileWithOrderedProgress) {
    constexpr std::uint64_t kSize = 8u << 20;
    server.http().Get("/package", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            kSize, "application/octet-stream",
            [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                const std::size_t chunk = std::min<std::size_t>(length, 256 << 10);
                const std::string bytes = pattern(offset, chunk);
                return sink.write(bytes.data(), bytes.size());
            });
    });

    HttpRequest request = get("/package");
    request.responseFile = temp / "package.partial";
    Recorded recorded;
    startRecorded(*client, request, recorded);
    ASSERT_TRUE(runUntilDone(queue, recorded, std::chrono::seconds(30)));

    const HttpResponse& response = recorded.response;
    EXPECT_EQ(response.error, TransportError::None) << response.errorMessage;
    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(response.body.empty());
    EXPECT_TRUE(readFile(request.responseFile) == pattern(0, kSize));
    ASSERT_FALSE(recorded.progress.empty());
    EXPECT_EQ(recorded.progressAfterCompletion, 0);
    EXPECT_TRUE(std::is_sorted(recorded.progress.begin(), recorded.progress.end(),
                               [](auto& a, auto& b) { return a.received < b.received; }));
    EXPECT_EQ(recorded.progress.back().received, kSize);
    EXPECT_EQ(recorded.progress.back().totalToReceive, kSize);
}

TEST_F(HttpClientTest, ResponseFileHoldsExactlyThisAnswerEvenWhenItIsEmpty) {
    server.http().Get("/small", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("fresh", "text/plain");
    });
    server.http().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
        res.status = 200;
        res.set_header("Content-Length", "0");
    });
    // An older download's bytes must not pass for this answer, even when no byte arrives.
    for (const auto& [path, expected] : {std::pair{"/small", "fresh"}, std::pair{"/empty", ""}}) {
        HttpRequest request = get(path);
        request.responseFile = temp / "answer";
        std::ofstream(request.responseFile, std::ios::binary) << std::string(1000, 'x');
        EXPECT_EQ(fetch(request).error, TransportError::None);
        EXPECT_EQ(readFile(request.responseFile), expected) << path;
    }
}

TEST_F(HttpClientTest, UploadsAFileWithPutAndReportsWhatWasSent) {
    constexpr std::size_t kSize = 3u << 20;
    std::string verdict;
    server.http().Put("/upload", [&](const httplib::Request& req, httplib::Response& res) {
        const bool lengthOk = req.get_header_value("Content-Length") == std::to_string(kSize);
        const bool bytesOk = req.body == pattern(0, kSize);
        // "Expect: 100-continue" would cost every upload a round trip (or a stall, with servers
        // that never answer it).
        const bool noExpect = !req.has_header("Expect");
        verdict = std::string(lengthOk ? "length ok" : "length wrong") +
                  (bytesOk ? ", bytes ok" : ", bytes wrong") + (noExpect ? "" : ", Expect sent");
        res.status = 201;
        res.set_content("stored", "text/plain");
    });
    HttpRequest request = get("/upload", "PUT");
    request.bodyFile = temp / "attachment.bin";
    std::ofstream(request.bodyFile, std::ios::binary) << pattern(0, kSize);

    Recorded recorded;
    startRecorded(*client, request, recorded);
    ASSERT_TRUE(runUntilDone(queue, recorded));

    EXPECT_EQ(recorded.response.error, TransportError::None) << recorded.response.errorMessage;
    EXPECT_EQ(recorded.response.status, 201);
    EXPECT_EQ(verdict, "length ok, bytes ok");
    ASSERT_FALSE(recorded.progress.empty());
    EXPECT_TRUE(std::is_sorted(recorded.progress.begin(), recorded.progress.end(),
                               [](auto& a, auto& b) { return a.sent < b.sent; }));
    EXPECT_EQ(recorded.progress.back().sent, kSize);
    EXPECT_EQ(recorded.progress.back().totalToSend, kSize);
}

TEST_F(HttpClientTest, PostFromMemorySendsExactlyTheCallersHeaders) {
    std::vector<std::multimap<std::string, std::string>> received;
    std::vector<std::string> bodies;
    std::mutex receivedMutex;
    server.http().Post("/feedback", [&](const httplib::Request& req, httplib::Response& res) {
        std::multimap<std::string, std::string> headers;
        for (const auto& [name, value] : req.headers) {
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            // httplib files the peer's and its own address among the headers; they were not sent.
            if (lower.starts_with("remote_") || lower.starts_with("local_")) continue;
            headers.emplace(lower, value);
        }
        std::lock_guard lock(receivedMutex);
        received.push_back(std::move(headers));
        bodies.push_back(req.body);
        res.set_content("thanks", "text/plain");
    });

    HttpRequest request = get("/feedback", "POST");
    request.body = "{\"message\":\"hello\"}";
    request.headers = {{"Content-Type", "application/json"}, {"X-Feedback-Id", "42"}};
    EXPECT_EQ(fetch(request).status, 200);

    request.headers.emplace_back("User-Agent", "Custom/2.0");
    EXPECT_EQ(fetch(request).status, 200);

    std::lock_guard lock(receivedMutex);
    ASSERT_EQ(received.size(), 2u);
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    const std::multimap<std::string, std::string> expected = {
        {"host", host},
        {"content-length", "19"},
        {"content-type", "application/json"},
        {"x-feedback-id", "42"},
        {"user-agent", "TalvenSuite/1.0 (Linux)"},
    };
    EXPECT_EQ(received[0], expected);
    auto withCallersAgent = expected;
    withCallersAgent.find("user-agent")->second = "Custom/2.0";
    EXPECT_EQ(received[1], withCallersAgent);
    EXPECT_EQ(bodies, (std::vector<std::string>(2, "{\"message\":\"hello\"}")));
}

TEST_F(HttpClientTest, TwoTransfersRunAtTheSameTime) {
    std::mutex mutex;
    std::condition_variable arrived;
    int waiting = 0;
    // Each request is held until the other has arrived: run one after the other, both get "alone".
    server.http().Get("/together", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(mutex);
        ++waiting;
        arrived.notify_all();
        const bool both =
            arrived.wait_for(lock, std::chrono::seconds(5), [&] { return waiting >= 2; });
        res.set_content(both ? "both" : "alone", "text/plain");
    });

    Recorded first;
    Recorded second;
    startRecorded(*client, get("/together"), first);
    startRecorded(*client, get("/together"), second);
    ASSERT_TRUE(
        testing::runUntil(queue, [&] { return first.completions > 0 && second.completions > 0; }));
    EXPECT_EQ(first.response.body, "both");
    EXPECT_EQ(second.response.body, "both");
}

}  // namespace
}  // namespace suite
