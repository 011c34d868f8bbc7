// Feedback through the real HTTP client against a loopback feedback service that records what it
// received: the submit answers, stalls at either stage, and the streamed attachments.
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"
#include "integration/LoopbackServer.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Received {
    std::string method, target, contentType, userAgent, body;
};

struct FeedbackService : ::testing::Test {
    void SetUp() override {
        AppDelegate::picked.clear();
        auto record = [this](const httplib::Request& req) {
            std::lock_guard lock(mutex);
            received.push_back({req.method, req.target, req.get_header_value("Content-Type"),
                                req.get_header_value("User-Agent"), req.body});
        };
        server.http().Post("/api/feedback", [=, this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            // A stalled handler wakes when the server goes down: it must not touch the test then.
            if (stallSubmit) return void(server.gate.wait(5s));
            res.status = submitStatus;
            res.set_content(submitBody, "application/json");
        });
        server.http().Put("/api/feedback/file", [=, this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            if (stallFiles) return void(server.gate.wait(5s));
            res.set_content("{}", "application/json");
        });
        server.http().Post("/api/feedback/done", [=](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content("{}", "application/json");
        });
        ASSERT_TRUE(server.start());
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        client = std::make_unique<CurlHttpClient>(h.queue, options);
        startApp(10);
    }
    // A short timeout only where a stall is the point: a busy machine may be slow to answer.
    void startApp(double timeoutSeconds) {
        h.startWith(
            [this, timeoutSeconds](AppConfig& config) {
                config.feedbackOriginForTests = "http://127.0.0.1:" + std::to_string(server.port());
                config.feedbackSubmitTimeoutSeconds = timeoutSeconds;
                config.feedbackFileTimeoutSeconds = timeoutSeconds;
            },
            *client);
    }
    void TearDown() override { AppDelegate::picked.clear(); }

    std::vector<std::string> attach(const std::vector<std::size_t>& sizes) {
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::string bytes(sizes[i], '\0');
            for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<char>(b * 7 + i);
            const fs::path file = h.dir / ("file" + std::to_string(contents.size()) + ".png");
            std::ofstream(file, std::ios::binary) << bytes;
            ids.push_back("id" + std::to_string(contents.size()));
            AppDelegate::picked[ids.back()] = file;
            contents[ids.back()] = bytes;
        }
        return ids;
    }

    // Sends feedback with these attachment ids and returns its one result event.
    Json send(const std::vector<std::string>& ids) {
        const std::size_t before = h.events().size();
        h.delegate->userContentController({{"type", "sendFeedback"}, {"data", {{"text", "hi"}}}, {"files", ids}});
        auto finished = [&] {
            for (std::size_t i = before; i < h.events().size(); ++i)
                if (h.events()[i]["type"] == "feedbackResult") return true;
            return false;
        };
        EXPECT_TRUE(testing::runUntil(h.queue, finished));
        Json result;
        for (std::size_t i = before; i < h.events().size(); ++i) {
            const Json e = h.events()[i];
            if (e["type"] == "feedbackProgress") pcts.push_back(e["pct"]);
            if (e["type"] == "feedbackResult") result = e;
        }
        return result;
    }

    std::vector<Received> log() {
        std::lock_guard lock(mutex);
        return received;
    }

    fakes::AppHarness h;
    testing::LoopbackServer server;
    std::unique_ptr<CurlHttpClient> client;
    std::mutex mutex;
    std::vector<Received> received;
    std::vector<double> pcts;
    std::map<std::string, std::string> contents;  // by attachment id
    int submitStatus = 200;
    std::string submitBody = R"({"ok":true,"id":"s/1+=","token":"t/2+="})";
    std::atomic<bool> stallSubmit = false, stallFiles = false;
};

Json result(bool ok, const char* error) { return {{"type", "feedbackResult"}, {"ok", ok}, {"error", error}}; }

TEST_F(FeedbackService, SubmitAnswersAndStalls) {
    struct { int status; std::string body; bool attachments, stall; Json result; std::size_t requests; } cases[] = {
        {200, R"({"ok":true,"id":"x"})", false, false, result(true, ""), 1},
        {200, R"({"ok":true})", true, false, result(true, ""), 1},
        {201, R"({"ok":true,"id":"x"})", true, false, result(false, "send"), 1},
        {500, R"({"ok":true,"id":"x"})", true, false, result(false, "send"), 1},
        {200, "<html>", true, false, result(false, "send"), 1},
        {200, R"({"ok":false,"id":"x"})", true, false, result(false, "send"), 1},
        {200, R"({"ok":true,"id":"x"})", true, true, result(false, "offline"), 1}};
    for (const auto& c : cases) {
        received.clear();
        submitStatus = c.status;
        submitBody = c.body;
        stallSubmit = c.stall;
        if (c.stall) startApp(0.3);
        auto ids = c.attachments ? attach({10}) : std::vector<std::string>{};
        EXPECT_EQ(send(ids), c.result) << c.body;
        auto got = log();
        ASSERT_EQ(got.size(), c.requests) << c.body;
        EXPECT_EQ(got[0].contentType, "application/json");
        EXPECT_EQ(got[0].userAgent, "TALVEN-Suite/3.1.0 (Linux)");
        EXPECT_EQ(Json::parse(got[0].body)["files"].size(), ids.size());
        EXPECT_EQ(AppDelegate::picked.empty(), c.result["ok"] == true || ids.empty());
        AppDelegate::picked.clear();
    }
}

TEST_F(FeedbackService, AttachmentsStreamInOrderWithEncodedIdAndToken) {
    auto ids = attach({100, 200, 700});
    EXPECT_EQ(send(ids), result(true, "send"));
    auto got = log();
    ASSERT_EQ(got.size(), 5u);
    for (std::size_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(got[n].method, "PUT");
        EXPECT_EQ(got[n].target, "/api/feedback/file?id=s%2F1%2B%3D&n=" + std::to_string(n) + "&t=t%2F2%2B%3D");
        EXPECT_EQ(got[n].contentType, "image/png");
        EXPECT_EQ(got[n].body, contents[ids[n - 1]]);
    }
    EXPECT_EQ(got[4].target, "/api/feedback/done?id=s%2F1%2B%3D&t=t%2F2%2B%3D");
    EXPECT_TRUE(AppDelegate::picked.empty());
    for (double pct : pcts) EXPECT_LE(pct, 99);
    EXPECT_TRUE(std::is_sorted(pcts.begin(), pcts.end()));

    // Sizes 0 only: the total is 1 and no share ever rises above 0.
    pcts.clear();
    EXPECT_EQ(send(attach({0, 0})), result(true, "send"));
    for (double pct : pcts) EXPECT_EQ(pct, 0);

    // A file that went away since it was picked, and a file upload that stalls, both end in "send".
    ids = attach({5, 5});
    fs::remove(AppDelegate::picked[ids[1]]);
    received.clear();
    EXPECT_EQ(send(ids), result(false, "send"));
    EXPECT_EQ(log().size(), 2u);  // the missing file never reached the service
    stallFiles = true;
    startApp(0.3);
    EXPECT_EQ(send(attach({5})), result(false, "send"));
    EXPECT_EQ(AppDelegate::picked.size(), 3u);  // failures keep their ids
}

}  // namespace
}  // namespace suite
