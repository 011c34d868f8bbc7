// The install queue on the application delegate: fake HTTP client, inline digests, manual queue.
#include <gtest/gtest.h>

#include <fstream>

#include "download/Downloader.h"
#include "fakes/AppHarness.h"
#include "platform/Files.h"

namespace suite {
namespace {

using fakes::FakeHttpClient;

// Digests from an independent implementation (Python's hashlib).
constexpr const char* kOne = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";
constexpr const char* kThreeUpper =
    "8B5B9DB0C13DB24256C829AA364AA90C6D2EBA318B9232A4AB9313B954D3555F";

Json item(const std::string& id, const std::string& file, std::optional<Json> sha = {}) {
    Json made = {{"id", id}, {"url", "https://downloads.brenlow.example/" + file}, {"file", file}};
    made["size"] = 1000;
    if (sha) made["sha256"] = *sha;
    return made;
}
Json step(const std::string& id, const std::string& phase, Json pct) {
    return {{"type", "progress"}, {"id", id}, {"phase", phase}, {"pct", pct}};
}
Json started(const std::string& id) {
    return step(id, "download", 0);
}
Json verifying(const std::string& id) {
    return step(id, "verify", 100);
}
Json failed(const std::string& id, const std::string& error, const std::string& reason) {
    return {{"type", "result"}, {"id", id}, {"ok", false}, {"error", error}, {"reason", reason}};
}

// The verified list as the install run received it: one password prompt per package.
std::vector<std::string> handedOver(fakes::AppHarness& h) {
    std::vector<std::string> ids;
    for (auto& e : h.events())
        if (e["type"] == "progress" && e["phase"] == "password") ids.push_back(e["id"]);
    return ids;
}

// Keeps each background task until the test runs it: the privileged run waits at its prompt.
struct HeldBackground : Background {
    void run(Task task) override { tasks.push_back(std::move(task)); }
    // Runs the oldest task held and what it posted; false when none is held.
    bool runFirst(ManualMainQueue& queue) {
        if (tasks.empty()) return false;
        Task task = std::move(tasks.front());
        tasks.erase(tasks.begin());
        task();
        queue.runReady();
        return true;
    }
    std::vector<Task> tasks;
};

// The package "one" arrives, hashed as it does: nothing is left for a thread.
void serveOne(fakes::AppHarness& h, std::size_t call) {
    h.http.stream(call, "one", FakeHttpClient::reply(200, ""));
    h.queue.runReady();
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct InstallQueue : ::testing::Test {
    fakes::AppHarness h;
    AppDelegate* app = nullptr;
    void SetUp() override { app = &h.start(); }

    // The queue's own events; the install run that follows sends more.
    std::vector<Json> queueEvents() {
        std::vector<Json> out;
        for (auto& e : h.events()) {
            if ((e["type"] == "progress" && (e["phase"] == "download" || e["phase"] == "verify")) ||
                (e["type"] == "result" && (e["error"] == "download" || e["error"] == "check")))
                out.push_back(e);
        }
        return out;
    }
    std::vector<std::string> downloads() { return filesIn(h.launch.cacheDir); }
    void serve(std::size_t call, const std::string& body, int status = 200) {
        h.http.stream(call, body, FakeHttpClient::reply(status, ""));
        h.queue.runReady();
    }
};

// Which addresses and file names pass is the download policy's table; one refusal of each
// shows the queue applies it.
TEST_F(InstallQueue, RefusedItemsAreReportedBackToBackWithoutTraffic) {
    std::vector<Json> items = {item("no-url", "a.pkg"),        item("number-url", "a.pkg"),
                               item("lookalike", "a.pkg"),     item("no-file", "a.pkg"),
                               item("sub/a.pkg", "sub/a.pkg"), item("", "..")};
    items[0].erase("url");
    items[1]["url"] = 7;
    items[2]["url"] = "https://evilbrenlow.example/a.pkg";
    items[3].erase("file");
    items[5].erase("id");
    std::vector<Json> expected;
    // Without a size in whole bytes the download could not be bounded.
    for (const Json& size : {Json(-1), Json(10.5), Json("1000")}) {
        items.push_back(item("size " + size.dump(), "a.pkg"));
        items.back()["size"] = size;
    }
    items.push_back(item("no size", "a.pkg"));
    items.back().erase("size");
    for (const auto& bad : items)
        expected.push_back(failed(bad.value("id", ""), "download", "refused"));
    // Mirrors are held to the same rule; one that fails it is left out, the item is not.
    items.push_back(item("fine", "fine.pkg"));
    items.back()["mirrors"] = {"https://evil.example/fine.pkg", 7,
                               "https://mirror.brenlow.example/fine.pkg"};
    expected.push_back(started("fine"));

    app->install(items);
    ASSERT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(h.http.calls[0]->request.url, "https://downloads.brenlow.example/fine.pkg");
    EXPECT_EQ(queueEvents(), expected);
    EXPECT_TRUE(downloads().empty());
    h.http.answer(0, FakeHttpClient::reply(404, ""));
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://mirror.brenlow.example/fine.pkg");
}

TEST_F(InstallQueue, LongRunOfRefusedItemsDoesNotNestCalls) {
    // Deep enough to overflow the stack if each refusal called the step function again.
    std::vector<Json> items(100000, item("bad", "sub/x.pkg"));
    items.push_back(item("fine", "fine.pkg"));
    app->install(std::move(items));
    EXPECT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(queueEvents().size(), 100001u);
}

// Downloads strictly one after another, each verified before the next starts; a failed check
// drops only its own package and the batch still gets one password prompt.
TEST_F(InstallQueue, SecondRequestDuringARunJoinsItAndAnEmptyOneEndsAtOnce) {
    app->install({});
    EXPECT_TRUE(h.privileged.scripts.empty());
    app->install({item("a", "a.pkg", kOne)});  // the empty run left nothing hanging
    app->install({item("b", "b.pkg", Json(12)), item("c", "c/x.pkg"), item("d", "d.pkg", kOne),
                  item("e", "e.pkg", kThreeUpper)});
    EXPECT_EQ(h.http.calls.size(), 1u);  // no second chain
    serve(0, "one");
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://downloads.brenlow.example/b.pkg");
    app->install({});  // joining with nothing changes nothing
    serve(1, "b");     // a digest that is not a string counts as absent
    serve(2, "not one");
    EXPECT_EQ(downloads(), (std::vector<std::string>{"a.pkg", "b.pkg"}));
    serve(3, "three");  // an upper-case digest matches
    EXPECT_EQ(h.http.calls.size(), 4u);
    EXPECT_EQ(queueEvents(),
              (std::vector<Json>{started("a"), verifying("a"), started("b"), verifying("b"),
                                 failed("c", "download", "refused"), started("d"),
                                 failed("d", "check", "digest"), started("e"), verifying("e")}));
    // One batch: one script, one password prompt for both requests' packages.
    EXPECT_EQ(handedOver(h), (std::vector<std::string>{"a", "b", "e"}));
    EXPECT_EQ(h.privileged.scripts.size(), 1u);
    app->install({item("f", "f.pkg")});  // the run has ended: a new one starts at once
    EXPECT_EQ(h.http.calls.size(), 5u);
}

// One privileged run at a time: a request that comes while a batch is being installed waits for
// it; the program's own package goes last though it was asked for first; and the relaunch it asks
// for waits until the waiting batch has its results too. (Joining a batch that is still
// downloading is the test above's.)
TEST(InstallQueueBatches, ARequestDuringTheInstallWaitsAndTheRelaunchWaitsForIt) {
    fakes::AppHarness h;
    HeldBackground held;
    auto& app = h.startWith([](AppConfig&) {}, h.http, &held);
    auto serve = [&](std::size_t call) { serveOne(h, call); };
    auto runFirstHeld = [&] { ASSERT_TRUE(held.runFirst(h.queue)); };
    Json self = item("suite", "suite.pkg", kOne);
    self["self"] = true;

    app.install({self, item("a", "a.pkg", kOne)});
    serve(0);
    serve(1);
    EXPECT_EQ(handedOver(h), (std::vector<std::string>{"a", "suite"}));
    ASSERT_EQ(held.tasks.size(), 1u);  // the privileged run, asking for the password

    app.install({item("c", "c.pkg", kOne)});  // it waits
    EXPECT_EQ(h.http.calls.size(), 2u);
    h.privileged.outcome = {true, false, "OK:0\nOK:1\n", ""};
    runFirstHeld();
    ASSERT_EQ(h.http.calls.size(), 3u) << "the waiting request starts when the batch has ended";
    h.queue.advance(5);
    EXPECT_EQ(h.shell.terminations, 0) << "no relaunch while a batch is still to come";
    serve(2);
    runFirstHeld();
    EXPECT_EQ(h.privileged.scripts.size(), 2u);
    EXPECT_EQ(handedOver(h), (std::vector<std::string>{"a", "suite", "c"}));
    h.queue.advance(1.2);
    EXPECT_EQ(h.shell.terminations, 1);
}

// A cancel stops an item wherever it is short of the privileged run, with exactly one result,
// and keeps what was downloaded of it; what the run already has is not interrupted.
TEST(InstallCancel, StopsItemsShortOfThePrivilegedRunWithOneResultEach) {
    auto cancel = [](fakes::AppHarness& h, Json body) {
        body["type"] = "cancel";
        h.delegate->userContentController(body);
    };
    const std::string part = std::string(kOne) + ".part";
    struct Case {
        const char* name;
        std::vector<std::string> results;  // in the order they came
        std::vector<std::string> kept;     // in the download folder at the end
        std::vector<const char*> logged;
        std::function<void(fakes::AppHarness&)> act;  // while "a" downloads and "b" waits
    };
    const Case cases[] = {
        Case{"waiting",
             {"b cancelled", "a ok"},
             {},
             {"cancel: \"b\" cancelled while waiting"},
             [&](auto& h) {
                 cancel(h, {{"id", "b"}});
             }},
        Case{"downloading",
             {"a cancelled", "b ok"},
             {part, part + ".validator"},
             {"what it downloaded is kept"},
             [&](auto& h) {
                 h.http.headersIn(0, 200, {{"ETag", "\"v\""}});
                 std::ofstream(h.http.calls[0]->request.responseFile) << "on";
                 cancel(h, {{"id", "a"}});
                 EXPECT_TRUE(h.http.calls[0]->cancelled);
             }},
        Case{"verifying",
             {"a cancelled", "b ok"},
             {},
             {"cancel: \"a\" cancelled after its download was checked"},
             [&](auto& h) {
                 serveOne(h, 0), cancel(h, {{"id", "a"}});
             }},
        // Nothing left to install: no password prompt at all.
        Case{"everything",
             {"b cancelled", "a cancelled"},
             {},
             {"while downloading"},
             [&](auto& h) { cancel(h, {}); }},
        Case{"the run goes on, the next batch stops",
             {"c cancelled", "a ok", "b ok"},
             {},
             {"cancel: \"a\" is not waiting or downloading", "cancel: ignored, its id is not text"},
             [&](auto& h) {
                 serveOne(h, 0), serveOne(h, 1);
                 h.delegate->install({item("c", "c.pkg", kOne)});  // waits for the run
                 cancel(h, {}), cancel(h, {{"id", "a"}}), cancel(h, {{"id", 7}});
             }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::AppHarness h;
        HeldBackground held;
        h.startWith([](AppConfig&) {}, h.http, &held);
        h.privileged.outcome = {true, false, "OK:0\nOK:1\n", ""};
        h.delegate->install({item("a", "a.pkg", kOne), item("b", "b.pkg")});
        c.act(h);
        // Whatever is still under way runs to its end.
        for (bool busy = true; busy;) {
            busy = held.runFirst(h.queue);
            for (std::size_t i = 0; i < h.http.calls.size(); ++i) {
                if (h.http.calls[i]->answered || h.http.calls[i]->cancelled) continue;
                serveOne(h, i);
                busy = true;
            }
        }
        std::vector<std::string> results;
        for (const auto& e : h.events()) {
            if (e["type"] != "result") continue;
            const std::string id = e["id"];
            const bool cancelled = e == failed(id, "cancelled", "cancelled");
            results.push_back(id + (cancelled ? " cancelled" : e["ok"] == true ? " ok" : e.dump()));
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(h.privileged.scripts.size(), c.results.back().ends_with("ok") ? 1u : 0u);
        EXPECT_EQ(filesIn(h.launch.cacheDir), c.kept);
        const auto log = readWholeFile(h.launch.logDir / "install.log").value_or("");
        for (const char* line : c.logged) EXPECT_NE(log.find(line), std::string::npos) << log;
    }
}

TEST_F(InstallQueue, ItemsThatNameOneFileKeepTheirOwnDownloads) {
    std::filesystem::remove_all(h.launch.cacheDir);  // a missing folder is made again
    app->install({item("a", "x.pkg", kOne), item("b", "x.pkg", kOne), item("c", "x-2.pkg", kOne)});
    for (std::size_t call = 0; call < 3; ++call) serve(call, "one");
    EXPECT_EQ(downloads(), (std::vector<std::string>{"x-2-2.pkg", "x-2.pkg", "x.pkg"}));
    ASSERT_EQ(h.privileged.scripts.size(), 1u);
    for (const char* name : {"/x.pkg'", "/x-2.pkg'", "/x-2-2.pkg'"}) {
        EXPECT_NE(h.privileged.scripts[0].find(name), std::string::npos) << name;
    }
}

TEST_F(InstallQueue, DownloadIsBoundedByTheItemsSizeAndSaysWhenItRanPast) {
    app->install({item("a", "a.pkg"), item("b", "b.pkg")});
    const HttpRequest& request = h.http.calls[0]->request;
    EXPECT_EQ(request.maxBodyBytes, 1000 + Downloader::kSizeMargin);
    EXPECT_EQ(request.totalSeconds, 600.01);
    h.http.answer(0, FakeHttpClient::failure(TransportError::TooLarge));
    EXPECT_EQ(queueEvents(),
              (std::vector<Json>{started("a"), failed("a", "download", "size"), started("b")}));
    EXPECT_TRUE(downloads().empty()) << "the partial file is gone";
}

TEST_F(InstallQueue, NothingContinuesOnceTheDelegateIsGone) {
    app->install({item("a", "a.pkg"), item("b", "b.pkg")});
    h.http.answer(0, FakeHttpClient::reply(503, ""));  // a retry waits on the queue
    h.delegate.reset();
    h.queue.runUntilIdle();
    EXPECT_EQ(h.http.calls.size(), 1u);
}

}  // namespace
}  // namespace suite
