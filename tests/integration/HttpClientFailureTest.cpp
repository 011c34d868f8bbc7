// How the libcurl client reports transfers that get no complete answer: silent and broken
// servers, cancellation, and requests it refuses to send.
#include <gtest/gtest.h>

#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"

namespace suite {
namespace {

using testing::RawLoopbackServer;
using testing::Recorded;
using testing::ReleaseGate;
using testing::request;
using testing::runUntil;
using testing::startRecorded;
using namespace std::chrono_literals;

// Sends `reply`, then hangs up, or stays quiet until the test ends.
RawLoopbackServer::Script replyThen(std::string reply, bool quiet) {
    return [reply, quiet](int socket, const std::string&, ReleaseGate& gate) {
        RawLoopbackServer::sendAll(socket, reply);
        if (quiet) gate.wait(10s);
    };
}

struct HttpClientFailureTest : ::testing::Test {
    HttpResponse fetch(HttpRequest r) {
        return testing::fetch(*client, queue, std::move(r), nullptr, 5s);
    }
    // Nothing more arrives within a short while.
    void settle() {
        runUntil(
            queue, [] { return false; }, 100ms);
    }

    ManualMainQueue queue;
    std::unique_ptr<CurlHttpClient> client =
        std::make_unique<CurlHttpClient>(queue, testing::loopbackOptions());
};

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
        const HttpResponse response = fetch(request(server.url("/"), "GET", 0.5));
        EXPECT_EQ(response.error, c.error) << response.errorMessage;
        if (c.error == TransportError::TimedOut) {
            EXPECT_EQ(response.body, c.body);
        }
    }
}

TEST_F(HttpClientFailureTest, TricklingTransferOutlivesTheIdleTimeoutButNotItsCeiling) {
    // Eight bytes, one every 150 ms: 1.2 s in all, never 0.5 s without data.
    RawLoopbackServer trickle([](int socket, const std::string&, ReleaseGate& gate) {
        RawLoopbackServer::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n");
        for (char c : std::string("trickled")) {
            if (gate.wait(150ms)) return;
            RawLoopbackServer::sendAll(socket, std::string(1, c));
        }
    });
    ASSERT_NE(trickle.port(), 0);
    HttpRequest slow = request(trickle.url("/"), "GET", 0.5);
    const HttpResponse response = fetch(slow);
    EXPECT_EQ(response.error, TransportError::None) << response.errorMessage;
    EXPECT_EQ(response.body, "trickled");

    // The same steady trickle, past a ceiling shorter than its whole.
    slow.totalSeconds = 0.6;
    EXPECT_EQ(fetch(slow).error, TransportError::TimedOut);
}

TEST_F(HttpClientFailureTest, CancelEndsARunningTransferOnceAndIsIgnoredAfterward) {
    RawLoopbackServer silent(replyThen("", true));
    RawLoopbackServer quick(replyThen("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone", false));
    ASSERT_NE(silent.port(), 0);
    ASSERT_NE(quick.port(), 0);

    Recorded cancelled;
    auto transfer = startRecorded(*client, request(silent.url("/"), "GET", 0), cancelled);
    ASSERT_TRUE(runUntil(
        queue, [&] { return silent.connections() > 0; }, 5s));
    transfer->cancel();
    transfer->cancel();
    ASSERT_TRUE(runUntil(
        queue, [&] { return cancelled.completions > 0; }, 5s));
    settle();
    EXPECT_EQ(cancelled.completions, 1);
    EXPECT_EQ(cancelled.response.error, TransportError::Cancelled);

    Recorded finished;
    auto done = startRecorded(*client, request(quick.url("/")), finished);
    ASSERT_TRUE(runUntil(queue, [&] { return finished.completions > 0; }));
    done->cancel();
    settle();
    EXPECT_EQ(finished.completions, 1);
    EXPECT_EQ(finished.response.body, "done");
}

TEST_F(HttpClientFailureTest, DestroyingTheClientCancelsWhatIsRunning) {
    RawLoopbackServer silent(replyThen("", true));
    ASSERT_NE(silent.port(), 0);
    Recorded running, waiting, justStarted;
    auto transfer = startRecorded(*client, request(silent.url("/a"), "GET", 0), running);
    startRecorded(*client, request(silent.url("/b"), "GET", 0), waiting);
    ASSERT_TRUE(runUntil(
        queue, [&] { return silent.connections() > 0; }, 5s));
    // Likely not yet picked up by the worker.
    startRecorded(*client, request(silent.url("/c"), "GET", 0), justStarted);
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
    RawLoopbackServer server(replyThen("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage", false));
    ASSERT_NE(server.port(), 0);
    fakes::TempDir temp;
    for (const auto& body : {temp / "not-there.bin", temp.path()}) {
        HttpRequest upload = request(server.url("/upload"), "PUT");
        upload.bodyFile = body;
        EXPECT_EQ(fetch(upload).error, TransportError::Other) << body;
    }
    // A line break in a value would smuggle a header of the caller's data into the request.
    for (const HttpHeaders& headers :
         {HttpHeaders{{"X-Note", "a\r\nX-Injected: 1"}}, HttpHeaders{{"X Note", "a"}}}) {
        HttpRequest r = request(server.url("/page"));
        r.headers = headers;
        EXPECT_EQ(fetch(r).error, TransportError::Other);
    }
    EXPECT_EQ(server.connections(), 0);

    // The answer arrives but has nowhere to go: that is a failure, not a success.
    HttpRequest unwritable = request(server.url("/page"));
    unwritable.responseFile = temp / "no-such-folder" / "page";
    const HttpResponse response = fetch(unwritable);
    EXPECT_EQ(response.error, TransportError::Other);
    EXPECT_FALSE(response.errorMessage.empty());
}

}  // namespace
}  // namespace suite
