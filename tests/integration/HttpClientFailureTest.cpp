// How the libcurl client reports transfers that get no complete answer: refused and unknown
// hosts, silent and broken servers, cancellation, and requests it refuses to send.
#include <gtest/gtest.h>

#include <fstream>

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

CurlClientOptions loopbackOptions() {
    CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    return options;
}

HttpRequest getRequest(std::string url, double timeoutSeconds = 10) {
    HttpRequest request;
    request.url = std::move(url);
    request.timeoutSeconds = timeoutSeconds;
    return request;
}

// Answers nothing at all, until the test ends.
void stayQuiet(int socket, ReleaseGate& gate) {
    RawLoopbackServer::readRequestHead(socket);
    gate.wait(10s);
}

HttpResponse fetchOnce(CurlHttpClient& client, ManualMainQueue& queue, HttpRequest request) {
    Recorded recorded;
    startRecorded(client, std::move(request), recorded);
    EXPECT_TRUE(runUntilDone(queue, recorded, 5s)) << "no completion in time";
    EXPECT_EQ(recorded.completions, 1);
    return recorded.response;
}

TEST(HttpClientFailureTest, UnreachableServersAreToldApart) {
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());

    // Bound but not listening: the port stays ours, and connecting to it is refused.
    const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    const HttpResponse refused = fetchOnce(client, queue, getRequest(refusedUrl + "/"));
    ::close(closed);
    EXPECT_EQ(refused.error, TransportError::NoConnection) << refused.errorMessage;
    EXPECT_EQ(refused.status, 0);

    const HttpResponse unknown =
        fetchOnce(client, queue, getRequest("https://nonexistent.invalid/catalog"));
    EXPECT_EQ(unknown.error, TransportError::HostNotFound) << unknown.errorMessage;
}

TEST(HttpClientFailureTest, SilenceLongerThanTheTimeoutEndsTheTransfer) {
    RawLoopbackServer silentFromStart(stayQuiet);
    RawLoopbackServer silentMidBody([](int socket, ReleaseGate& gate) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(socket,
                                   "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
        gate.wait(10s);
    });
    ASSERT_NE(silentFromStart.port(), 0);
    ASSERT_NE(silentMidBody.port(), 0);
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());

    // The servers stay silent for ten seconds; the completion must come well before that.
    const HttpResponse beforeAnswer =
        fetchOnce(client, queue, getRequest(silentFromStart.url("/"), 0.5));
    EXPECT_EQ(beforeAnswer.error, TransportError::TimedOut) << beforeAnswer.errorMessage;

    const HttpResponse midBody = fetchOnce(client, queue, getRequest(silentMidBody.url("/"), 0.5));
    EXPECT_EQ(midBody.error, TransportError::TimedOut) << midBody.errorMessage;
    EXPECT_EQ(midBody.body, "0123456789");  // what arrived is kept
}

TEST(HttpClientFailureTest, SlowTransferOutlastingTheTimeoutSucceedsWhileBytesKeepComing) {
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
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());

    const HttpResponse response = fetchOnce(client, queue, getRequest(trickle.url("/"), 0.5));
    EXPECT_EQ(response.error, TransportError::None) << response.errorMessage;
    EXPECT_EQ(response.body, "trickled");
}

TEST(HttpClientFailureTest, ConnectionsBrokenByTheServerAreLost) {
    RawLoopbackServer cutShort([](int socket, ReleaseGate&) {
        RawLoopbackServer::readRequestHead(socket);
        RawLoopbackServer::sendAll(
            socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, 'p'));
    });
    RawLoopbackServer hangsUp(
        [](int socket, ReleaseGate&) { RawLoopbackServer::readRequestHead(socket); });
    ASSERT_NE(cutShort.port(), 0);
    ASSERT_NE(hangsUp.port(), 0);
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());

    const HttpResponse partial = fetchOnce(client, queue, getRequest(cutShort.url("/")));
    EXPECT_EQ(partial.error, TransportError::ConnectionLost) << partial.errorMessage;

    const HttpResponse nothing = fetchOnce(client, queue, getRequest(hangsUp.url("/")));
    EXPECT_EQ(nothing.error, TransportError::ConnectionLost) << nothing.errorMessage;
}

TEST(HttpClientFailureTest, CancelEndsARunningTransferOnceAndIsIgnoredAfterward) {
    RawLoopbackServer silent(stayQuiet);
    LoopbackServer quick;
    quick.http().Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("done", "text/plain");
    });
    ASSERT_NE(silent.port(), 0);
    ASSERT_TRUE(quick.start());
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());

    Recorded cancelled;
    auto transfer = startRecorded(client, getRequest(silent.url("/"), 0), cancelled);
    ASSERT_TRUE(runUntil(
        queue, [&] { return silent.connections() > 0; }, 5s));
    transfer->cancel();
    transfer->cancel();
    ASSERT_TRUE(runUntilDone(queue, cancelled, 5s));
    runUntil(
        queue, [] { return false; }, 100ms);  // anything more would show up by now
    EXPECT_EQ(cancelled.completions, 1);
    EXPECT_EQ(cancelled.response.error, TransportError::Cancelled);

    Recorded finished;
    auto done = startRecorded(client, getRequest(quick.url("/")), finished);
    ASSERT_TRUE(runUntilDone(queue, finished));
    done->cancel();
    runUntil(
        queue, [] { return false; }, 100ms);
    EXPECT_EQ(finished.completions, 1);
    EXPECT_EQ(finished.response.error, TransportError::None);
    EXPECT_EQ(finished.response.body, "done");
}

TEST(HttpClientFailureTest, DestroyingTheClientCancelsWhatIsRunning) {
    RawLoopbackServer silent(stayQuiet);
    ASSERT_NE(silent.port(), 0);
    ManualMainQueue queue;
    auto client = std::make_unique<CurlHttpClient>(queue, loopbackOptions());

    Recorded running;
    Recorded waiting;
    auto transfer = startRecorded(*client, getRequest(silent.url("/a"), 0), running);
    startRecorded(*client, getRequest(silent.url("/b"), 0), waiting);
    ASSERT_TRUE(runUntil(
        queue, [&] { return silent.connections() > 0; }, 5s));
    Recorded justStarted;  // likely not yet picked up by the worker
    startRecorded(*client, getRequest(silent.url("/c"), 0), justStarted);
    client.reset();

    queue.runReady();
    EXPECT_EQ(justStarted.completions, 1);
    EXPECT_EQ(justStarted.response.error, TransportError::Cancelled);
    EXPECT_EQ(running.completions, 1);
    EXPECT_EQ(running.response.error, TransportError::Cancelled);
    EXPECT_EQ(waiting.completions, 1);
    EXPECT_EQ(waiting.response.error, TransportError::Cancelled);
    transfer->cancel();  // the handle outlives its client harmlessly
    EXPECT_EQ(queue.runReady(), 0u);
}

TEST(HttpClientFailureTest, RequestsThatCannotBeSentFailWithoutTouchingTheServer) {
    LoopbackServer server;
    std::atomic<int> hits{0};
    server.http().Put("/upload", [&](const httplib::Request&, httplib::Response&) { ++hits; });
    server.http().Get("/page", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content("page", "text/plain");
    });
    ASSERT_TRUE(server.start());
    ManualMainQueue queue;
    CurlHttpClient client(queue, loopbackOptions());
    fakes::TempDir temp;

    HttpRequest missingBody = getRequest(server.url("/upload"));
    missingBody.method = "PUT";
    missingBody.bodyFile = temp / "not-there.bin";
    EXPECT_EQ(fetchOnce(client, queue, missingBody).error, TransportError::Other);

    HttpRequest folderBody = missingBody;
    folderBody.bodyFile = temp.path();
    EXPECT_EQ(fetchOnce(client, queue, folderBody).error, TransportError::Other);

    // A line break in a value would smuggle a header of the caller's data into the request.
    HttpRequest injected = getRequest(server.url("/page"));
    injected.headers = {{"X-Note", "a\r\nX-Injected: 1"}};
    EXPECT_EQ(fetchOnce(client, queue, injected).error, TransportError::Other);

    HttpRequest badName = getRequest(server.url("/page"));
    badName.headers = {{"X Note", "a"}};
    EXPECT_EQ(fetchOnce(client, queue, badName).error, TransportError::Other);

    EXPECT_EQ(hits.load(), 0);

    // The answer arrives but has nowhere to go: that is a failure, not a success.
    HttpRequest unwritable = getRequest(server.url("/page"));
    unwritable.responseFile = temp / "no-such-folder" / "page";
    const HttpResponse response = fetchOnce(client, queue, unwritable);
    EXPECT_EQ(response.error, TransportError::Other);
    EXPECT_FALSE(response.errorMessage.empty());
}

}  // namespace
}  // namespace suite
