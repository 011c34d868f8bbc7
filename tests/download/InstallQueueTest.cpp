// The install queue on the application delegate: fake HTTP client, inline digests, manual queue.
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

using fakes::AppHarness;
using fakes::FakeHttpClient;

// Digests from an independent implementation (Python's hashlib).
constexpr const char* kOne = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";
constexpr const char* kThreeUpper =
    "8B5B9DB0C13DB24256C829AA364AA90C6D2EBA318B9232A4AB9313B954D3555F";

Json item(const std::string& id, const std::string& file, std::optional<std::string> sha = {}) {
    Json made = {{"id", id}, {"url", "https://downloads.brenlow.example/" + file}, {"file", file}};
    if (sha) made["sha256"] = *sha;
    return made;
}

Json started(const std::string& id) {
    return {{"type", "progress"}, {"id", id}, {"phase", "download"}, {"pct", 0}};
}
Json verifying(const std::string& id) {
    return {{"type", "progress"}, {"id", id}, {"phase", "verify"}, {"pct", 100}};
}
Json failed(const std::string& id, const std::string& error) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", error}};
}

struct InstallQueue : ::testing::Test {
    AppHarness h;
    AppDelegate* app = nullptr;
    void SetUp() override { app = &h.start(); }

    // The queue's own events; the install run that follows sends more.
    std::vector<Json> queueEvents() {
        std::vector<Json> out;
        for (auto& event : h.events()) {
            const bool progress = event["type"] == "progress" &&
                                  (event["phase"] == "download" || event["phase"] == "verify");
            const bool failure = event["type"] == "result" &&
                                 (event["error"] == "download" || event["error"] == "check");
            if (progress || failure) out.push_back(event);
        }
        return out;
    }

    // The verified list as the install run received it: it asks for the password once per
    // package, in order.
    std::vector<std::string> handedOver() {
        std::vector<std::string> ids;
        for (auto& event : h.events()) {
            if (event["type"] == "progress" && event["phase"] == "password")
                ids.push_back(event["id"]);
        }
        return ids;
    }

    // The server sends `body` with status 200, then the verdict comes back to the main queue.
    void serve(std::size_t call, const std::string& body, int status = 200) {
        std::ofstream(h.http.calls.at(call)->request.responseFile, std::ios::binary) << body;
        h.http.answer(call, FakeHttpClient::reply(status, ""));
        h.queue.runReady();
    }

    // The temporary file that call `index` streams into.
    std::string partial(std::size_t index) {
        return h.http.calls.at(index)->request.responseFile.filename().string();
    }

    std::vector<std::string> downloads() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(h.launch.cacheDir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(InstallQueue, ItemsGoOneAfterAnotherAndAFailedDigestOnlyDropsItsOwn) {
    app->install({item("one", "one.pkg", kOne), item("two", "two.pkg", kOne),
                  item("three", "three.pkg", kThreeUpper)});
    ASSERT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(h.http.calls[0]->request.url, "https://downloads.brenlow.example/one.pkg");
    EXPECT_EQ(h.http.calls[0]->request.timeoutSeconds, 30);

    std::ofstream(h.http.calls[0]->request.responseFile) << "one";
    h.http.answer(0, FakeHttpClient::reply(200, ""));
    // The next download waits for the verdict, which comes through the main queue.
    EXPECT_EQ(h.http.calls.size(), 1u);
    h.queue.runReady();
    ASSERT_EQ(h.http.calls.size(), 2u);

    serve(1, "two");
    ASSERT_EQ(h.http.calls.size(), 3u);
    // The failed file is deleted; the verified one waits for the install run.
    EXPECT_EQ(downloads(), (std::vector<std::string>{"one.pkg", partial(2)}));
    EXPECT_TRUE(handedOver().empty());
    serve(2, "three");
    EXPECT_EQ(h.http.calls.size(), 3u);

    EXPECT_EQ(queueEvents(),
              (std::vector<Json>{started("one"), verifying("one"), started("two"), verifying("two"),
                                 failed("two", "check"), started("three"), verifying("three")}));
    EXPECT_EQ(handedOver(), (std::vector<std::string>{"one", "three"}));
    EXPECT_EQ(h.privileged.scripts.size(), 1u);

    // The run has ended: a new request starts a new run at once instead of joining the old one.
    app->install({item("four", "four.pkg")});
    EXPECT_EQ(h.http.calls.size(), 4u);
}

TEST_F(InstallQueue, RefusedItemsAreReportedBackToBackWithoutTraffic) {
    Json noUrl = item("no-url", "a.pkg");
    noUrl.erase("url");
    Json numberUrl = item("number-url", "a.pkg");
    numberUrl["url"] = 7;
    Json noFile = item("no-file", "a.pkg");
    noFile.erase("file");
    Json httpUrl = item("http", "a.pkg");
    httpUrl["url"] = "http://downloads.brenlow.example/a.pkg";
    Json foreign = item("foreign", "a.pkg");
    foreign["url"] = "https://downloads.evil.example/a.pkg";
    Json lookalike = item("lookalike", "a.pkg");
    lookalike["url"] = "https://evilbrenlow.example/a.pkg";
    Json garbled = item("garbled", "a.pkg");
    garbled["url"] = "https://brenlow.example/a b.pkg";
    Json noId = item("", "..");
    noId.erase("id");

    app->install({noUrl, numberUrl, noFile, httpUrl, foreign, lookalike, garbled,
                  item("folder", "sub/a.pkg"), item("dot", "."), item("dotdot", ".."),
                  item("empty", ""), noId, item("fine", "fine.pkg")});

    ASSERT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(h.http.calls[0]->request.url, "https://downloads.brenlow.example/fine.pkg");
    EXPECT_EQ(
        queueEvents(),
        (std::vector<Json>{failed("no-url", "download"), failed("number-url", "download"),
                           failed("no-file", "download"), failed("http", "download"),
                           failed("foreign", "download"), failed("lookalike", "download"),
                           failed("garbled", "download"), failed("folder", "download"),
                           failed("dot", "download"), failed("dotdot", "download"),
                           failed("empty", "download"), failed("", "download"), started("fine")}));
    EXPECT_TRUE(downloads().size() == 1u && downloads()[0].rfind("fine.pkg.part-", 0) == 0);
}

TEST_F(InstallQueue, LongRunOfRefusedItemsDoesNotNestCalls) {
    // Deep enough to overflow the stack if each refusal called the step function again.
    std::vector<Json> items(100000, item("bad", "sub/x.pkg"));
    items.push_back(item("fine", "fine.pkg"));
    app->install(std::move(items));
    EXPECT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(queueEvents().size(), 100001u);
}

TEST_F(InstallQueue, DigestIsOptionalAndItsCaseDoesNotMatter) {
    Json numberDigest = item("number", "number.pkg");
    numberDigest["sha256"] = 12;  // not a string: counts as absent
    app->install({item("none", "none.pkg"), numberDigest, item("upper", "three.pkg", kThreeUpper)});
    serve(0, "anything at all");
    serve(1, "anything else");
    serve(2, "three");
    for (const auto& event : queueEvents()) EXPECT_NE(event["type"], "result") << event;
    EXPECT_EQ(handedOver(), (std::vector<std::string>{"none", "number", "upper"}));
}

TEST_F(InstallQueue, FailedDownloadsReportAndTheRunGoesOn) {
    std::ofstream(h.launch.cacheDir / "a.pkg") << "from an earlier run";
    app->install({item("a", "a.pkg"), item("b", "b.pkg"), item("c", "c.pkg", kOne)});
    serve(0, "<html>gone</html>", 404);
    ASSERT_EQ(h.http.calls.size(), 2u);
    h.http.answer(1, FakeHttpClient::failure(TransportError::TimedOut));
    h.queue.runReady();
    ASSERT_EQ(h.http.calls.size(), 3u);
    // Neither failure left a file, and the earlier download of the same name is untouched.
    EXPECT_EQ(downloads(), (std::vector<std::string>{"a.pkg", partial(2)}));
    std::ifstream earlier(h.launch.cacheDir / "a.pkg");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "from an earlier run");
    serve(2, "one");
    EXPECT_EQ(queueEvents(),
              (std::vector<Json>{started("a"), failed("a", "download"), started("b"),
                                 failed("b", "download"), started("c"), verifying("c")}));
    EXPECT_EQ(handedOver(), std::vector<std::string>{"c"});
}

TEST_F(InstallQueue, SecondRequestDuringARunJoinsIt) {
    app->install({item("a", "a.pkg")});
    app->install({item("b", "b.pkg"), item("c", "c/x.pkg")});
    EXPECT_EQ(h.http.calls.size(), 1u);  // no second chain
    serve(0, "a");
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://downloads.brenlow.example/b.pkg");
    app->install({});  // joining with nothing changes nothing
    serve(1, "b");
    EXPECT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(queueEvents(), (std::vector<Json>{started("a"), verifying("a"), started("b"),
                                                verifying("b"), failed("c", "download")}));
    // One batch: one script, one password prompt for both requests' packages.
    EXPECT_EQ(handedOver(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(h.privileged.scripts.size(), 1u);

    app->install({item("d", "d.pkg")});
    EXPECT_EQ(h.http.calls.size(), 3u);
}

TEST_F(InstallQueue, EmptyListEndsTheRunAtOnce) {
    app->install({});
    EXPECT_TRUE(queueEvents().empty());
    EXPECT_TRUE(h.http.calls.empty());
    EXPECT_TRUE(h.privileged.scripts.empty());
    // No run is left hanging: the next request starts downloading straight away.
    app->install({item("a", "a.pkg")});
    EXPECT_EQ(h.http.calls.size(), 1u);
}

TEST_F(InstallQueue, PercentagesAreIntegersAtTheEdgesAndFractionsBetween) {
    app->install({item("a", "a.pkg")});
    HttpProgress progress;
    progress.received = 3;
    progress.totalToReceive = 8;
    h.http.calls[0]->onProgress(progress);
    serve(0, "12345678");

    auto events = queueEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], started("a"));
    EXPECT_TRUE(events[0]["pct"].is_number_integer());
    EXPECT_EQ(events[1],
              Json({{"type", "progress"}, {"id", "a"}, {"phase", "download"}, {"pct", 37.5}}));
    EXPECT_TRUE(events[1]["pct"].is_number_float());
    EXPECT_EQ(events[2], verifying("a"));
    EXPECT_TRUE(events[2]["pct"].is_number_integer());
}

TEST_F(InstallQueue, MissingDownloadFolderIsMadeAgain) {
    std::filesystem::remove_all(h.launch.cacheDir);
    app->install({item("a", "a.pkg")});
    ASSERT_EQ(h.http.calls.size(), 1u);
    serve(0, "a");
    EXPECT_EQ(handedOver(), std::vector<std::string>{"a"});
}

TEST_F(InstallQueue, NothingContinuesOnceTheDelegateIsGone) {
    app->install({item("a", "a.pkg"), item("b", "b.pkg")});
    std::ofstream(h.http.calls[0]->request.responseFile) << "a";
    h.http.answer(0, FakeHttpClient::reply(200, ""));  // verdict now waits on the queue
    h.delegate.reset();
    h.queue.runUntilIdle();
    EXPECT_EQ(h.http.calls.size(), 1u);
}

}  // namespace
}  // namespace suite
