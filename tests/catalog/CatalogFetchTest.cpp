#include <gtest/gtest.h>

#include <tuple>

#include "catalog/CatalogFetch.h"
#include "fakes/AppHarness.h"
#include "fakes/SigningKey.h"

namespace suite {
namespace {

using fakes::AppHarness;
using fakes::FakeHttpClient;

constexpr std::int64_t kDec6 = 1796551200;  // 2026-12-06T10:00:00Z
const std::string kDoc = fakes::catalogDocument("2026-12-06T10:00:00Z", "2026-12-20T10:00:00Z");

struct CatalogFetch : ::testing::Test {
    AppHarness h;
    AppDelegate* app = nullptr;
    fakes::SigningKey key, stranger;
    void SetUp() override {
        app = &h.startWith(
            [this](AppConfig& config) {
                config.catalogKeys = {key.publicKey()};
                config.wallClock = [] { return kDec6; };
            },
            h.http);
    }
    std::vector<Json> catalogEvents() {
        std::vector<Json> out;
        for (auto& event : h.events()) {
            if (event["type"] == "catalog") out.push_back(event);
        }
        return out;
    }
};

// Each request carries only the program's identification and is read in memory.
TEST_F(CatalogFetch, AddressesAreTriedOneAfterAnotherUntilOneAnswers) {
    app->fetchCatalog({"https://a.example/c", "https://b.example/c", "https://c.example/c"});
    ASSERT_EQ(h.http.calls.size(), 1u);  // strictly one at a time
    const HttpRequest& request = h.http.calls[0]->request;
    EXPECT_EQ(std::tuple(request.method, request.url, request.responseFile),
              std::tuple("GET", "https://a.example/c", std::filesystem::path()));
    EXPECT_EQ(request.headers, (HttpHeaders{{"User-Agent", "TALVEN-Suite/3.1.0 (Linux)"}}));
    h.http.answer(0, FakeHttpClient::reply(200, "<html>{}</html>"));
    ASSERT_EQ(h.http.calls.size(), 2u);
    EXPECT_EQ(h.http.calls[1]->request.url, "https://b.example/c");
    // The address as given is reported, also when a redirect led elsewhere; its signature is
    // fetched from beside it before the page hears of it.
    HttpResponse moved = FakeHttpClient::reply(206, " " + kDoc + "\n");
    moved.finalUrl = "https://mirror.example/c";
    h.http.answer(1, moved);
    ASSERT_EQ(h.http.calls.size(), 3u);
    EXPECT_EQ(h.http.calls[2]->request.url, "https://b.example/c.sig");
    EXPECT_TRUE(catalogEvents().empty());
    h.http.answer(2, FakeHttpClient::reply(200, key.sign(" " + kDoc + "\n")));
    EXPECT_EQ(h.http.calls.size(), 3u);  // the first acceptable answer wins
    EXPECT_EQ(catalogEvents(), std::vector<Json>{Json({{"type", "catalog"},
                                                       {"ok", true},
                                                       {"url", "https://b.example/c"},
                                                       {"text", " " + kDoc + "\n"}})});
}

TEST_F(CatalogFetch, RefusedDocumentsMoveOnAndTheLastOneSaysWhy) {
    const std::string expired =
        fakes::catalogDocument("2026-12-01T10:00:00Z", "2026-12-06T10:00:00Z");
    app->fetchCatalog({"https://a.example/c", "https://b.example/c", "https://c.example/c",
                       "https://d.example/c"});
    h.http.answer(0, FakeHttpClient::reply(200, kDoc));
    h.http.answer(1, FakeHttpClient::reply(404, key.sign(kDoc)));  // no signature beside it
    h.http.answer(2, FakeHttpClient::reply(200, kDoc));
    h.http.answer(3, FakeHttpClient::reply(200, stranger.sign(kDoc)));
    h.http.answer(4, FakeHttpClient::reply(200, expired));
    h.http.answer(5, FakeHttpClient::reply(200, key.sign(expired)));
    // An answer that is no catalog leaves the reason of the last document that came.
    h.http.answer(6, FakeHttpClient::reply(404, ""));
    ASSERT_EQ(h.http.calls.size(), 7u);
    EXPECT_EQ(
        catalogEvents(),
        std::vector<Json>{
            Json({{"type", "catalog"}, {"ok", false}, {"offline", false}, {"reason", "expired"}})});
}

TEST_F(CatalogFetch, AnswersThatAreNotACatalogMoveOn) {
    const HttpResponse rejected[] = {
        FakeHttpClient::reply(404, "{}"),
        FakeHttpClient::reply(301, "{}"),
        FakeHttpClient::reply(200, "\n{}"),  // a line break is not a blank
        FakeHttpClient::reply(200, ""),
        FakeHttpClient::reply(200, "\xef\xbb\xbf{}"),  // a byte-order mark is not a blank either
        FakeHttpClient::reply(200, std::string("{\"a\": \"\xff\"}")),
    };
    for (const auto& response : rejected) {
        EXPECT_FALSE(acceptedCatalogText(response)) << response.status << " " << response.body;
    }
    EXPECT_EQ(acceptedCatalogText(FakeHttpClient::reply(200, "\t {}")), "\t {}");
    HttpResponse broken = FakeHttpClient::reply(200, "{}");
    broken.error = TransportError::ConnectionLost;
    EXPECT_FALSE(acceptedCatalogText(broken));
}

// "offline" only when no server answered at all; the reason is the last address's.
TEST_F(CatalogFetch, OfflineOnlyWhenNoServerAnsweredAtAllAndTheReasonSaysWhy) {
    using E = TransportError;
    const struct {
        E first;
        HttpResponse last;
        bool offline;
        const char* reason;
    } cases[] = {
        {E::TimedOut, FakeHttpClient::failure(E::HostNotFound), true, "dns"},
        {E::NoConnection, FakeHttpClient::failure(E::TimedOut), true, "timeout"},
        // A server that sent more than any catalog holds has answered all the same.
        {E::TooLarge, FakeHttpClient::failure(E::NoConnection), false, "offline"},
        // So has one whose certificate or redirect was refused.
        {E::Tls, FakeHttpClient::failure(E::NoConnection), false, "offline"},
        {E::NoConnection, FakeHttpClient::failure(E::Tls), false, "tls"},
        {E::NoConnection, FakeHttpClient::failure(E::RedirectRefused), false, "redirect"},
        {E::NoConnection, FakeHttpClient::reply(503, ""), false, "http-503"},
    };
    for (const auto& c : cases) {
        app->fetchCatalog({"https://a.example/c", "https://b.example/c"});
        h.http.answer(h.http.calls.size() - 1, FakeHttpClient::failure(c.first));
        h.http.answer(h.http.calls.size() - 1, c.last);
        EXPECT_EQ(
            catalogEvents().back(),
            Json(
                {{"type", "catalog"}, {"ok", false}, {"offline", c.offline}, {"reason", c.reason}}))
            << c.reason;
    }
}

TEST_F(CatalogFetch, EmptyListOrUnparseableAddressEndsTheFetchWithoutTraffic) {
    app->userContentController({{"type", "fetchCatalog"}});
    app->fetchCatalog({"not a url", "https://b.example/c"});
    EXPECT_TRUE(h.http.calls.empty());
    EXPECT_EQ(catalogEvents(),
              std::vector<Json>(2, Json({{"type", "catalog"}, {"ok", false}, {"offline", true}})));
    // The flag that travels with the retries is what the failure reports.
    app->fetchCatalog({"https://a.example/c", "::"});
    h.http.answer(0, FakeHttpClient::reply(500, ""));
    EXPECT_EQ(catalogEvents().back()["offline"], false);
}

TEST_F(CatalogFetch, OverlappingFetchesEachAnswerInTheOrderTheyEnd) {
    app->fetchCatalog({"https://a.example/1"});
    app->fetchCatalog({"https://a.example/2"});
    h.http.answer(1, FakeHttpClient::reply(200, kDoc));
    h.http.answer(0, FakeHttpClient::reply(200, kDoc));
    h.http.answer(2, FakeHttpClient::reply(200, key.sign(kDoc)));
    h.http.answer(3, FakeHttpClient::reply(200, key.sign(kDoc)));
    auto events = catalogEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["url"], "https://a.example/2");
    EXPECT_EQ(events[1]["url"], "https://a.example/1");
}

TEST_F(CatalogFetch, AnswerAfterTheDelegateIsGoneIsDropped) {
    app->fetchCatalog({"https://a.example/1"});
    auto call = h.http.calls[0];
    h.delegate.reset();
    EXPECT_NO_FATAL_FAILURE(call->onDone(FakeHttpClient::reply(200, "{}")));
}

}  // namespace
}  // namespace suite
