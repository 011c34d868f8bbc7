// How the libcurl client reports transfers that get no complete answer: refused and unknown
// hosts, silent and broken servers, cancellation, and requests it refuses to send.
#include <gtest/gtest.h>

#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/ManualMainQueue.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using testing::LoopbackServer;
using testing::RawLoopbackServer;
using testing::Recorded;
using testing::ReleaseGate;
using testing::runUntil;
using testing::runUntilDone;
using testing::startRecorded;
using namespace std::chrono_literals;

HttpRequest getRequest(std::string url, double timeoutSeconds = 10) {
    HttpRequest request;
    request.url = std::move(url);
    request.timeoutSeconds = timeoutSeconds;
    return request;
}

// Reads the request, sends `reply`, then hangs up, or stays quiet until the test ends.
RawLoopbackServer::Script replyThen(std::string reply, bool quiet) {
    return [reply, quiet](int socket, ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket, reply);
        if (quiet) gate.wait(10s);
    };
}

struct HttpClientFailureTest : ::testing::Test {
    static CurlClientOptions loopback() {
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        return options;
    }
    HttpResponse fetch(HttpRequest request) {
        Recorded recorded;
        startRecorded(*client, std::move(request), recorded);
        EXPECT_TRUE(runUntilDone(queue, recorded, 5s)) << "no completion in time";
        EXPECT_EQ(recorded.completions, 1);
        return recorded.response;
    }
    // Nothing more arrives within a short while.
    void settle() { runUntil(queue, [] { return false; }, 100ms); }

    ManualMainQueue queue;
    std::unique_ptr<CurlHttpClient> client = std::make_unique<CurlHttpClient>(queue, loopback());
};

TEST_F(HttpClientFailureTest, UnreachableServersAreToldApart) {
    // Bound but not listening: the port stays ours, and connecting to it is refused.
    const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const HttpResponse refused = fetch(
        getRequest("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/"));
    ::close(closed);
    EXPECT_EQ(refused.error, TransportError::NoConnection) << refused.errorMessage;
    EXPECT_EQ(refused.status, 0);

    const HttpResponse unknown = fetch(getRequest("https://nonexistent.invalid/catalog"));
    EXPECT_EQ(unknown.error, TransportError::HostNotFound) << unknown.errorMessage;
}

TEST_F(HttpClientFailureTest, SilentAndBrokenServersEndTheTransfer) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
    const struct {
        RawLoopbackServer::Script script;
        TransportError error;
        std::string body;  // what arrived is kept
    } cases[] = {
        {replyThen("", true), TransportError::TimedOut, ""},
        {replyThen(head + "0123456789", true), TransportError::TimedOut, "0123456789"},
        {replyThen(head + "0123456789", false), TransportError::ConnectionLost, ""},
        {replyThen("", false), TransportError::ConnectionLost, ""},
    };
    for (const auto& c : cases) {
        RawLoopbackServer server(c.script);
        ASSERT_NE(server.port(), 0);
        // The silent servers wait ten seconds; the completion must come well before that.
        const HttpResponse response = fetch(getRequest(server.url("/"), 0.5));
        EXPECT_EQ(response.error, c.error) << response.errorMessage;
        if (c.error == TransportError::TimedOut) {
            EXPECT_EQ(response.body, c.body);
        }
    }
}

TEST_F(HttpClientFailureTest, SlowTransferOutlastingTheTimeoutSucceedsWhileBytesKeepComing) {
    // Eight bytes, one every 150 ms: 1.2 s in all, never 0.5 s without data.
    RawLoopbackServer trickle([](int socket, ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n");
        for (char c : std::string("trickled")) {
            if (gate.wait(150ms)) return;
            RawLoopbackServer::sendAll(socket, std::string(1, c));
        }
    });
    ASSERT_NE(trickle.port(), 0);
    const HttpResponse response = fetch(getRequest(trickle.url("/"), 0.5));
    EXPECT_EQ(response.error, TransportError::None) << response.errorMessage;
    EXPECT_EQ(response.body, "trickled");
}

TEST_F(HttpClientFailureTest, CancelEndsARunningTransferOnceAndIsIgnoredAfterward) {
    RawLoopbackServer silent(replyThen("", true));
    LoopbackServer quick;
    quick.http().Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("done", "text/plain");
    });
    ASSERT_NE(silent.port(), 0);
    ASSERT_TRUE(quick.start());

    Recorded cancelled;
    auto transfer = startRecorded(*client, getRequest(silent.url("/"), 0), cancelled);
    ASSERT_TRUE(runUntil(queue, [&] { return silent.connections() > 0; }, 5s));
    transfer->cancel();
    transfer->cancel();
    ASSERT_TRUE(runUntilDone(queue, cancelled, 5s));
    settle();
    EXPECT_EQ(cancelled.completions, 1);
    EXPECT_EQ(cancelled.response.error, TransportError::Cancelled);

    Recorded finished;
    auto done = startRecorded(*client, getRequest(quick.url("/")), finished);
    ASSERT_TRUE(runUntilDone(queue, finished));
    done->cancel();
    settle();
    EXPECT_EQ(finished.completions, 1);
    EXPECT_EQ(finished.response.error, TransportError::None);
    EXPECT_EQ(finished.response.body, "done");
}

TEST_F(HttpClientFailureTest, DestroyingTheClientCancelsWhatIsRunning) {
    RawLoopbackServer silent(replyThen("", true));
    ASSERT_NE(silent.port(), 0);
    Recorded running, waiting, justStarted;
    auto transfer = startRecorded(*client, getRequest(silent.url("/a"), 0), running);
    startRecorded(*client, getRequest(silent.url("/b"), 0), waiting);
    ASSERT_TRUE(runUntil(queue, [&] { return silent.connections() > 0; }, 5s));
    // Likely not yet picked up by the worker.
    startRecorded(*client, getRequest(silent.url("/c"), 0), justStarted);
    client.reset();

    queue.runReady();
    for (const Recorded* r : {&running, &waiting, &justStarted}) {
        EXPECT_EQ(r->completions, 1);
        EXPECT_EQ(r->response.error, TransportError::Cancelled);
    }
    transfer->cancel();  // the handle outlives its client harmlessly
    EXPECT_EQ(queue.runReady(), 0u);
}

TEST_F(HttpClientFailureTest, RequestsThatCannotBeSentFailWithoutTouchingTheServer) {
    LoopbackServer server;
    std::atomic<int> hits{0};
    server.http().Put("/upload", [&](const httplib::Request&, httplib::Response&) { ++hits; });
    server.http().Get("/page", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content("page", "text/plain");
    });
    ASSERT_TRUE(server.start());
    fakes::TempDir temp;

    HttpRequest upload = getRequest(server.url("/upload"));
    upload.method = "PUT";
    for (const auto& body : {temp / "not-there.bin", temp.path()}) {
        upload.bodyFile = body;
        EXPECT_EQ(fetch(upload).error, TransportError::Other) << body;
    }
    // A line break in a value would smuggle a header of the caller's data into the request.
    for (const HttpHeaders& headers :
         {HttpHeaders{{"X-Note", "a\r\nX-Injected: 1"}}, HttpHeaders{{"X Note", "a"}}}) {
        HttpRequest request = getRequest(server.url("/page"));
        request.headers = headers;
        EXPECT_EQ(fetch(request).error, TransportError::Other);
    }
    EXPECT_EQ(hits.load(), 0);

    // The answer arrives but has nowhere to go: that is a failure, not a success.
    HttpRequest unwritable = getRequest(server.url("/page"));
    unwritable.responseFile = temp / "no-such-folder" / "page";
    const HttpResponse response = fetch(unwritable);
    EXPECT_EQ(response.error, TransportError::Other);
    EXPECT_FALSE(response.errorMessage.empty());
}

}  // namespace
}  // namespace suite
