// The install queue on the application delegate: fake HTTP client, inline digests, manual queue.
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/AppHarness.h"

namespace suite {
namespace {

using fakes::FakeHttpClient;
using fakes::HeldBackground;

// Digests from an independent implementation (Python's hashlib).
constexpr const char* kOne = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";
constexpr const char* kThreeUpper =
    "8B5B9DB0C13DB24256C829AA364AA90C6D2EBA318B9232A4AB9313B954D3555F";

Json item(const std::string& id, const std::string& file, const Json& sha = kOne) {
    Json made = {{"id", id}, {"url", "https://downloads.brenlow.example/" + file}, {"file", file}};
    made["size"] = 1000;
    made["sha256"] = sha;
    return made;
}
Json started(const std::string& id) {
    return {{"type", "progress"}, {"id", id}, {"phase", "download"}, {"pct", 0}};
}
Json verifying(const std::string& id) {
    return {{"type", "progress"}, {"id", id}, {"phase", "verify"}, {"pct", 100}};
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

// The package "one" arrives, hashed as it does: nothing is left for a thread.
void serveOne(fakes::AppHarness& h, std::size_t call) {
    h.http.stream(call, "one", FakeHttpClient::reply(200, ""));
    h.queue.runReady();
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
    std::vector<std::string> downloads() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(h.launch.cacheDir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void serve(std::size_t call, const std::string& body, int status = 200) {
        h.http.stream(call, body, FakeHttpClient::reply(status, ""));
        h.queue.runReady();
    }
};

// Which addresses and file names pass is the download policy's table; one refusal of each
// shows the queue applies it.
TEST_F(InstallQueue, RefusedItemsAreReportedBackToBackWithoutTraffic) {
    std::vector<Json> items = {item("no-url", "a.pkg"), item("lookalike", "a.pkg"),
                               item("sub/a.pkg", "sub/a.pkg"), item("", ".."), item("", "a.pkg")};
    items[0].erase("url");
    items[1]["url"] = "https://evilbrenlow.example/a.pkg";
    items[3].erase("id");  // results, cancellations and hand-offs could not tell it apart
    std::vector<Json> expected;
    // Without a size in whole bytes the download could not be bounded.
    for (const Json& size : {Json(-1), Json(10.5)}) {
        items.push_back(item("size " + size.dump(), "a.pkg"));
        items.back()["size"] = size;
    }
    // Nor, without a digest, could it be checked.
    for (const Json& sha : {Json(12), Json(std::string(63, 'a'))})
        items.push_back(item("digest " + sha.dump(), "a.pkg", sha));
    for (const auto& bad : items)
        expected.push_back(failed(bad.value("id", ""), "download", "refused"));
    // Mirrors are held to the same rule; one that fails it is left out, the item is not.
    items.push_back(item("fine", "fine.pkg"));
    items.back()["mirrors"] = {"https://evil.example/fine.pkg", 7,
                               "https://mirror.brenlow.example/fine.pkg"};
    expected.push_back(started("fine"));

    h.install(items);
    ASSERT_EQ(h.http.calls.size(), 1u);
    EXPECT_EQ(h.http.calls[0]->request.url, "https://downloads.brenlow.example/fine.pkg");
    EXPECT_EQ(queueEvents(), expected);
    EXPECT_TRUE(downloads().empty());
    h.http.answer(0, FakeHttpClient::reply(404, ""));
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://mirror.brenlow.example/fine.pkg");
}

// Downloads strictly one after another, each verified before the next starts; a failed check
// drops only its own package and the batch still gets one password prompt.
TEST_F(InstallQueue, SecondRequestDuringARunJoinsItAndAnEmptyOneEndsAtOnce) {
    h.install({});
    EXPECT_TRUE(h.privileged.scripts.empty());
    h.install({item("a", "a.pkg", kOne)});  // the empty run left nothing hanging
    h.install({item("c", "c/x.pkg"), item("d", "d.pkg", "0" + std::string(kOne).substr(1)),
               item("e", "e.pkg", kThreeUpper)});
    EXPECT_EQ(h.http.calls.size(), 1u);  // no second chain
    serve(0, "one");
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://downloads.brenlow.example/d.pkg");
    h.install({});  // joining with nothing changes nothing
    serve(1, "one");
    EXPECT_EQ(downloads(), (std::vector<std::string>{"a.pkg"}));
    serve(2, "three");  // an upper-case digest matches
    EXPECT_EQ(h.http.calls.size(), 3u);
    // What cannot be downloaded safely is refused as it is asked for, not when its turn comes.
    EXPECT_EQ(queueEvents(),
              (std::vector<Json>{started("a"), failed("c", "download", "refused"), verifying("a"),
                                 started("d"), verifying("d"), failed("d", "check", "digest"),
                                 started("e"), verifying("e")}));
    // One batch: one script, one password prompt for both requests' packages.
    EXPECT_EQ(handedOver(h), (std::vector<std::string>{"a", "e"}));
    EXPECT_EQ(h.privileged.scripts.size(), 1u);
    h.install({item("f", "f.pkg")});  // the run has ended: a new one starts at once
    EXPECT_EQ(h.http.calls.size(), 4u);
}

// One privileged run at a time: a request that comes while a batch is being installed waits for
// it; the program's own package goes last though it was asked for first; and the relaunch it asks
// for waits until the waiting batch has its results too. (Joining a batch that is still
// downloading is the test above's.)
TEST(InstallQueueBatches, ARequestDuringTheInstallWaitsAndTheRelaunchWaitsForIt) {
    fakes::AppHarness h;
    HeldBackground held;
    h.startWith([](AppConfig&) {}, h.http, &held);
    auto serve = [&](std::size_t call) { serveOne(h, call); };
    auto runFirstHeld = [&] { ASSERT_TRUE(held.runFirst(h.queue)); };
    Json self = item("suite", "suite.pkg", kOne);
    self["self"] = true;

    h.install({self, item("a", "a.pkg", kOne)});
    serve(0);
    serve(1);
    EXPECT_EQ(handedOver(h), (std::vector<std::string>{"a", "suite"}));
    ASSERT_EQ(held.tasks.size(), 1u);  // the privileged run, asking for the password

    h.install({item("c", "c.pkg", kOne)});  // it waits
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

}  // namespace
}  // namespace suite
