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

TEST(FeedbackLogic, ThumbnailSizeEncAndPct) {
    // A photo's own scale-down is the picked-files test's; here the edges of the rule.
    struct {
        double w, h;
        std::optional<PixelSize> size;
    } sizes[] = {{60, 30, PixelSize{120, 60}},
                 {1000, 1, PixelSize{120, 1}},
                 {13, 13, PixelSize{119, 119}},
                 {0, 30, std::nullopt},
                 {30, -1, std::nullopt}};
    for (const auto& c : sizes) EXPECT_EQ(thumbnailSize(c.w, c.h), c.size) << c.w << "x" << c.h;

    EXPECT_EQ(enc("a/B+9=z"), "a%2FB%2B9%3Dz");
    EXPECT_EQ(enc(" -_.~\xC3\xA9"), "%20%2D%5F%2E%7E%C3%A9");

    // Halfway and "never 100" are the chain test's; here the rounding and a total of sizes 0.
    EXPECT_DOUBLE_EQ(feedbackPct(0, 0.5, 3, 1000), 0.1);  // 1.5 bytes count as 1
    EXPECT_DOUBLE_EQ(feedbackPct(0, 1, 0, 1), 0);

    EXPECT_EQ(base64("jpeg"), "anBlZw==");
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const auto a = newAttachmentId(), b = newAttachmentId();
    EXPECT_TRUE(std::regex_match(a, uuid)) << a;
    EXPECT_NE(a, b);
}

TEST(FeedbackLogic, OutcomeOfEachAnswer) {
    struct {
        HttpResponse response;
        std::string submit, file;
    } cases[] = {{FakeHttpClient::failure(TransportError::NoConnection), "offline", "offline"},
                 {FakeHttpClient::failure(TransportError::ConnectionLost), "offline", "offline"},
                 {FakeHttpClient::failure(TransportError::HostNotFound), "offline", "send"},
                 {FakeHttpClient::failure(TransportError::TimedOut), "offline", "send"},
                 {FakeHttpClient::failure(TransportError::Other), "send", "send"},
                 {FakeHttpClient::reply(201, R"({"ok":true,"id":"x"})"), "send", "send"},
                 {FakeHttpClient::reply(500, ""), "send", "send"},
                 {FakeHttpClient::reply(200, "not json"), "send", ""},
                 {FakeHttpClient::reply(200, "{}"), "send", ""},
                 {FakeHttpClient::reply(200, R"({"ok":false,"id":"x"})"), "send", ""},
                 {FakeHttpClient::reply(200, R"({"ok":"true","id":"x"})"), "send", ""},
                 {FakeHttpClient::reply(200, R"({"ok":true,"id":7})"), "", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(readSubmitAnswer(c.response).error, c.submit) << c.response.body;
        EXPECT_EQ(fileUploadError(c.response), c.file) << c.response.body;
    }
    auto accepted =
        readSubmitAnswer(FakeHttpClient::reply(200, R"({"ok":true,"id":"a/b","token":"t+="})"));
    EXPECT_EQ(accepted.id, "a/b");
    EXPECT_EQ(accepted.token, "t+=");
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

TEST_F(Feedback, PickedFilesAreDescribedAndRemembered) {
    auto& app = start();
    const auto photo = file("photo.png", "4000 3000"), movie = file("clip.mov", "4000 3000"),
               bare = file("README", "x"), broken = file("bad\xFF.jpg", "not a picture");
    app.userContentController({{"type", "pickFiles"}});
    ASSERT_EQ(h.filePicker.labels, std::vector<std::string>{"Add"});
    EXPECT_EQ(h.filePicker.parents[0], h.shell.window);
    h.filePicker.pending[0](std::nullopt);  // cancelled
    h.filePicker.pending.clear();
    EXPECT_TRUE(events("picked").empty());

    app.saveSettings({{"lang", "ar"}});
    app.userContentController({{"type", "pickFiles"}});
    EXPECT_EQ(h.filePicker.labels[1], "إضافة");
    h.filePicker.pending[0](
        std::vector<fs::path>{photo, movie, bare, broken, h.dir / "gone.png", photo});
    auto picked = events("picked");
    ASSERT_EQ(picked.size(), 1u);
    const Json& files = picked[0]["files"];
    ASSERT_EQ(files.size(), 6u);
    EXPECT_EQ(files[0]["thumb"], "data:image/jpeg;base64," + base64("jpeg 120x90 q70"));
    struct {
        const char* name;
        int size;
        const char* type;
        bool thumb;
    } expected[] = {{"photo.png", 9, "image/png", true},
                    {"clip.mov", 9, "video/quicktime", false},
                    {"README", 1, "application/octet-stream", false},
                    {"bad\uFFFD.jpg", 13, "image/jpeg", false},  // not UTF-8: still listed
                    {"gone.png", 0, "image/png", false},
                    {"photo.png", 9, "image/png", true}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(files[i]["name"], expected[i].name);
        EXPECT_EQ(files[i]["size"], expected[i].size);
        EXPECT_EQ(files[i]["type"], expected[i].type);
        EXPECT_EQ(files[i].contains("thumb"), expected[i].thumb) << i;
        EXPECT_EQ(files[i].size(), expected[i].thumb ? 5u : 4u);
    }
    EXPECT_NE(files[0]["id"], files[5]["id"]);  // the same file twice: two ids
    EXPECT_EQ(app.feedback().picked().size(), 6u);
    EXPECT_EQ(app.feedback().picked().at(files[5]["id"]), photo);
}

TEST_F(Feedback, RecordSetsOsOnlyForDeviceTrueAndReplacesFiles) {
    auto& app = start();
    app.feedback().picked() = {{"A", file("a.png", "1234")}, {"B", file("b.mov", "12")}};
    struct {
        Json device;
        bool os;
    } cases[] = {{true, true}, {false, false}, {"true", false}, {nullptr, false}};
    for (const auto& c : cases) {
        Json data = {{"text", "hi"}, {"files", "page's own"}};
        if (!c.device.is_null()) data["device"] = c.device;
        app.userContentController(
            {{"type", "sendFeedback"}, {"data", data}, {"files", {"B", "X", "A"}}});
        const auto& request = h.http.calls.back()->request;
        Json record = Json::parse(request.body);
        EXPECT_EQ(record.contains("os"), c.os);
        if (c.os) {
            EXPECT_EQ(record["os"], "Linux 6.1.0, x86_64");
        }
        EXPECT_EQ(record["text"], "hi");
        EXPECT_EQ(record["device"], data.value("device", Json()));
        EXPECT_EQ(record["files"],
                  Json::parse(R"([{"name":"b.mov","size":2,"type":"video/quicktime"},
                                                   {"name":"a.png","size":4,"type":"image/png"}])"));
        h.http.answer(h.http.calls.size() - 1, FakeHttpClient::reply(500, ""));  // ends it
        h.queue.runReady();
    }
    const auto& request = h.http.calls[0]->request;
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "https://brenlow.example/api/feedback");
    EXPECT_EQ(request.headers, (HttpHeaders{{"Content-Type", "application/json"},
                                            {"User-Agent", "TALVEN-Suite/3.1.0 (Linux)"}}));

    // Mistyped "data" and "files" fall back to nothing.
    app.userContentController({{"type", "sendFeedback"}, {"data", "x"}, {"files", {"A", 3}}});
    EXPECT_EQ(h.http.calls.back()->request.body, R"({"files":[]})");
}

// A delivered submission forgetting its ids is the feedback flow's; here the ids outlive a failure.
TEST_F(Feedback, ChainSendsFilesInOrderWithProgressAndKeepsIdsOnFailure) {
    auto& app = start();
    app.feedback().picked() = {{"1", file("one.png", std::string(100, 'a'))},
                               {"2", file("two.mov", std::string(200, 'b'))},
                               {"3", file("three", std::string(700, 'c'))}};
    const Json message = {
        {"type", "sendFeedback"}, {"data", Json::object()}, {"files", {"1", "2", "3", "4"}}};
    app.userContentController(message);
    h.http.answer(0, FakeHttpClient::reply(200, R"({"ok":true,"id":"i/d","token":"t+k="})"));
    const char* types[] = {"image/png", "video/quicktime", "application/octet-stream"};
    for (std::size_t n = 1; n <= 3; ++n) {
        auto& call = *h.http.calls[n];
        EXPECT_EQ(call.request.method, "PUT");
        EXPECT_EQ(call.request.url, "https://brenlow.example/api/feedback/file?id=i%2Fd&n=" +
                                        std::to_string(n) + "&t=t%2Bk%3D");
        EXPECT_EQ(call.request.bodyFile, app.feedback().picked().at(std::to_string(n)));
        EXPECT_EQ(call.request.headers,
                  (HttpHeaders{{"Content-Type", types[n - 1]},
                               {"User-Agent", "TALVEN-Suite/3.1.0 (Linux)"}}));
        const std::uint64_t size = fs::file_size(call.request.bodyFile);
        EXPECT_EQ(call.request.totalSeconds, ceilingForBytes(size));
        for (std::uint64_t sent : {std::uint64_t{0}, std::uint64_t{0}, size / 2, size}) {
            call.onProgress(HttpProgress{sent, size, 0, std::nullopt});
        }
        h.http.answer(n, FakeHttpClient::reply(200, ""));
    }
    std::vector<double> pcts;
    for (auto& e : events("feedbackProgress")) pcts.push_back(e["pct"]);
    EXPECT_EQ(pcts,
              (std::vector<double>{5, 10, 20, 30, 65, 99}));  // unchanged reports are not sent

    auto& done = h.http.calls[4]->request;
    EXPECT_EQ(done.url, "https://brenlow.example/api/feedback/done?id=i%2Fd&t=t%2Bk%3D");
    EXPECT_EQ(done.headers, (HttpHeaders{{"User-Agent", "TALVEN-Suite/3.1.0 (Linux)"}}));
    h.http.answer(4, FakeHttpClient::reply(500, ""));  // not delivered: ids stay
    EXPECT_EQ(events("feedbackResult"),
              (std::vector<Json>{{{"type", "feedbackResult"}, {"ok", false}, {"error", "send"}}}));
    EXPECT_EQ(app.feedback().picked().size(), 3u);
}

TEST_F(Feedback, SendingAgainWhileASubmissionRunsStartsNoSecondOne) {
    auto& app = start();
    app.feedback().picked() = {{"A", file("a.png", "x")}};
    const Json message = {{"type", "sendFeedback"}, {"data", Json::object()}, {"files", {"A"}}};
    app.userContentController(message);
    app.userContentController(message);  // while the submission is asked for
    ASSERT_EQ(h.http.calls.size(), 1u);
    h.http.answer(0, FakeHttpClient::reply(200, R"({"ok":true,"id":"i","token":"t"})"));
    app.userContentController(message);  // while the file is on its way
    ASSERT_EQ(h.http.calls.size(), 2u);
    h.http.answer(1, FakeHttpClient::reply(503, ""));
    EXPECT_EQ(events("feedbackResult").size(), 1u);
    app.userContentController(message);  // after its result, a new submission starts
    EXPECT_EQ(h.http.calls.size(), 3u);
}

TEST_F(Feedback, EarlyEndsOfTheChain) {
    auto& app = start();
    app.feedback().picked() = {{"A", file("a.png", "x")}};
    const auto accepted = FakeHttpClient::reply(200, R"({"ok":true,"id":"x"})");
    const auto timedOut = FakeHttpClient::failure(TransportError::TimedOut);
    struct {
        std::vector<HttpResponse> answers;
        bool ok;
        std::string error;
        std::size_t requests;
    } cases[] = {
        {{FakeHttpClient::reply(200, R"({"ok":true})")}, true, "", 1},  // no id: files stay home
        {{timedOut}, false, "offline", 1},
        {{accepted, timedOut}, false, "send", 2},
        {{accepted, FakeHttpClient::failure(TransportError::ConnectionLost)}, false, "offline", 2}};
    for (const auto& c : cases) {
        app.feedback().picked()["A"] = h.dir / "a.png";
        const std::size_t first = h.http.calls.size();
        app.userContentController({{"type", "sendFeedback"}, {"files", {"A"}}});
        for (std::size_t i = 0; i < c.answers.size(); ++i) h.http.answer(first + i, c.answers[i]);
        EXPECT_EQ(h.http.calls.size() - first, c.requests);
        EXPECT_EQ(events("feedbackResult").back(),
                  (Json{{"type", "feedbackResult"}, {"ok", c.ok}, {"error", c.error}}));
        EXPECT_EQ(app.feedback().picked().count("A"), c.ok ? 0u : 1u);
    }
    // Demo mode never sends feedback.
    fakes::AppHarness demo(true);
    demo.start().userContentController({{"type", "sendFeedback"}, {"files", {"A"}}});
    EXPECT_TRUE(demo.http.calls.empty());
}

}  // namespace
}  // namespace suite
