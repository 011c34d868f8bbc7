// Feedback on the delegate with fakes. Types and thumbnails of real files through the real file
// dialog, and a whole submission against the vendor service, are the feedback flow's.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "fakes/AppHarness.h"
#include "feedback/Feedback.h"
#include "platform/Random.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using fakes::FakeHttpClient;

TEST(FeedbackLogic, EncodingPercentAndIds) {
    EXPECT_EQ(enc(" -_.~\xC3\xA9"), "%20%2D%5F%2E%7E%C3%A9");
    // Halfway and "never 100" are the chain test's; here the rounding and a total of sizes 0.
    EXPECT_DOUBLE_EQ(feedbackPct(0, 0.5, 3, 1000), 0.1);  // 1.5 bytes count as 1
    EXPECT_DOUBLE_EQ(feedbackPct(0, 1, 0, 1), 0);
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const auto a = newAttachmentId(), b = newAttachmentId();
    EXPECT_TRUE(std::regex_match(a, uuid)) << a;
    EXPECT_NE(a, b);
}

TEST(FeedbackLogic, OutcomeOfEachAnswer) {
    const struct {
        HttpResponse response;
        std::string submit, file;
    } cases[] = {{FakeHttpClient::failure(TransportError::ConnectionLost), "offline", "offline"},
                 {FakeHttpClient::failure(TransportError::HostNotFound), "offline", "send"},
                 {FakeHttpClient::failure(TransportError::Other), "send", "send"},
                 {FakeHttpClient::reply(201, R"({"ok":true,"id":"x"})"), "send", "send"},
                 {FakeHttpClient::reply(500, ""), "send", "send"},
                 {FakeHttpClient::reply(200, "not json"), "send", ""},
                 {FakeHttpClient::reply(200, R"({"ok":"true","id":"x"})"), "send", ""},
                 {FakeHttpClient::reply(200, R"({"ok":true,"id":7})"), "", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(readSubmitAnswer(c.response).error, c.submit) << c.response.body;
        EXPECT_EQ(fileUploadError(c.response), c.file) << c.response.body;
    }
}

struct Feedback : ::testing::Test {
    fs::path file(const std::string& name, const std::string& content) {
        std::ofstream(h.dir / name, std::ios::binary) << content;
        return h.dir / name;
    }
    AppDelegate& start() {
        return h.startWith([](AppConfig& c) { c.deviceDescription = "Linux 6.1.0, x86_64"; },
                           h.http);
    }
    // Runs the queue and returns the events of one type.
    std::vector<Json> events(const std::string& type) {
        h.queue.runReady();
        std::vector<Json> out;
        for (auto& e : h.events())
            if (e["type"] == type) out.push_back(e);
        return out;
    }
    fakes::AppHarness h;
};

// A delivered submission forgetting its ids is the feedback flow's; here the ids outlive a failure.
TEST_F(Feedback, ChainSendsFilesInOrderWithProgressAndKeepsIdsOnFailure) {
    auto& app = start();
    app.feedback().picked() = {{"1", file("one.png", std::string(100, 'a'))},
                               {"2", file("two.mov", std::string(200, 'b'))},
                               {"3", file("three", std::string(700, 'c'))}};
    app.userContentController({{"type", "sendFeedback"}, {"files", {"1", "2", "3", "4"}}});
    h.http.answer(0, FakeHttpClient::reply(200, R"({"ok":true,"id":"i/d","token":"t+k="})"));
    for (std::size_t n = 1; n <= 3; ++n) {
        auto& call = *h.http.calls[n];
        EXPECT_EQ(call.request.method, "PUT");
        EXPECT_EQ(call.request.url, "https://brenlow.example/api/feedback/file?id=i%2Fd&n=" +
                                        std::to_string(n) + "&t=t%2Bk%3D");
        const std::uint64_t size = fs::file_size(call.request.bodyFile);
        EXPECT_EQ(call.request.totalSeconds, ceilingForBytes(size));
        for (std::uint64_t sent : {std::uint64_t{0}, std::uint64_t{0}, size / 2, size}) {
            call.onProgress(HttpProgress{sent, size, 0, std::nullopt, 0, nullptr});
        }
        h.http.answer(n, FakeHttpClient::reply(200, ""));
    }
    std::vector<double> pcts;
    for (auto& e : events("feedbackProgress")) pcts.push_back(e["pct"]);
    EXPECT_EQ(pcts,
              (std::vector<double>{5, 10, 20, 30, 65, 99}));  // unchanged reports are not sent

    EXPECT_EQ(h.http.calls[4]->request.url,
              "https://brenlow.example/api/feedback/done?id=i%2Fd&t=t%2Bk%3D");
    h.http.answer(4, FakeHttpClient::reply(500, ""));  // not delivered: ids stay
    EXPECT_EQ(events("feedbackResult"),
              (std::vector<Json>{{{"type", "feedbackResult"}, {"ok", false}, {"error", "send"}}}));
    EXPECT_EQ(app.feedback().picked().size(), 3u);
}

// One submission at a time; one accepted without an id ends there, delivered, and the files'
// ids are forgotten. (Out of reach is the feedback flow's.)
TEST_F(Feedback, OneSubmissionAtATimeAndOneWithoutAnIdEndsAtOnce) {
    auto& app = start();
    app.feedback().picked() = {{"A", file("a.png", "x")}};
    const Json message = {{"type", "sendFeedback"}, {"files", {"A"}}};
    app.userContentController(message);
    h.http.answer(0, FakeHttpClient::reply(200, R"({"ok":true,"id":"i","token":"t"})"));
    app.userContentController(message);  // while the file is on its way
    ASSERT_EQ(h.http.calls.size(), 2u);
    h.http.answer(1, FakeHttpClient::reply(503, ""));
    EXPECT_EQ(events("feedbackResult").size(), 1u);

    app.userContentController(message);  // after its result, a new submission starts
    h.http.answer(2, FakeHttpClient::reply(200, R"({"ok":true})"));
    EXPECT_EQ(h.http.calls.size(), 3u);
    EXPECT_EQ(events("feedbackResult").back(),
              (Json{{"type", "feedbackResult"}, {"ok", true}, {"error", ""}}));
    EXPECT_TRUE(app.feedback().picked().empty());
}

}  // namespace
}  // namespace suite
