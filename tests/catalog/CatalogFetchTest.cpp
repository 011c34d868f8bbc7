#include <gtest/gtest.h>

#include <tuple>

#include "catalog/CatalogFetch.h"
#include "catalog/KeptCatalog.h"
#include "fakes/AppHarness.h"
#include "fakes/SigningKey.h"
#include "platform/Files.h"

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
    EXPECT_EQ(h.http.calls[0]->request.headers,
              (HttpHeaders{{"User-Agent", "TALVEN-Suite/3.1.0 (Linux)"}}));
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

// The page parses only what the native side let through: text that opens as an object.
TEST(CatalogText, OnlyUtf8ThatOpensAsAnObjectAfterBlanksIsAccepted) {
    const std::pair<std::string, bool> cases[] = {
        {" \t" + kDoc, true},
        {"\n" + kDoc, false},
        {"\r\n" + kDoc, false},
        {kDoc + "\xff", false},
        {"{\"a\":\"\xc3\x28\"}", false},
        {"", false},
        {"\xef\xbb\xbf" + kDoc, false},
        {"[" + kDoc + "]", false},
    };
    for (const auto& [body, accepted] : cases)
        EXPECT_EQ(acceptedCatalogText(FakeHttpClient::reply(200, body)).has_value(), accepted)
            << ::testing::PrintToString(body);
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
        // A server that sent more than any catalog holds has answered all the same.
        {E::TooLarge, FakeHttpClient::failure(E::NoConnection), false, "offline"},
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
}

// What the next page load is told: the kept pair only while its signature still holds (and a
// changed byte is the flows'), and how long a check may take for each address.
TEST_F(CatalogFetch, AnAdmittedCatalogIsKeptWithItsSignatureAndOfferedAgainOnlyWhileItVerifies) {
    const auto document = h.launch.logDir / kKeptCatalogFileName,
               signature = h.launch.logDir / kKeptSignatureFileName;
    const auto kept = [&] {
        app->userContentController({{"type", "ready"}});
        return h.events().back()["kept"];
    };
    const auto check = [&](const std::string& text, const std::string& sig) {
        app->fetchCatalog({"https://a.example/c"});
        h.http.answer(h.http.calls.size() - 1, FakeHttpClient::reply(200, text));
        h.http.answer(h.http.calls.size() - 1, FakeHttpClient::reply(200, sig));
        h.queue.runReady();
    };
    check(kDoc, key.sign(kDoc) + "\n");
    check(kDoc + " ", stranger.sign(kDoc + " "));  // refused: the kept pair stays
    EXPECT_EQ(readWholeFile(signature), key.sign(kDoc) + "\n");
    EXPECT_EQ(kept()["text"], kDoc);
    EXPECT_NEAR(kept()["at"].get<double>(), systemSeconds() * 1000.0, 60'000);
    EXPECT_EQ(h.events().back()["catalogSecondsPerAddress"], 2 * kCatalogCeilingSeconds);

    const std::string large(kKeptCatalogMaxBytes + 1, ' ');
    for (const auto& [text, sig] :
         {std::pair{kDoc, key.sign(kDoc + " ")}, {large, key.sign(large)}}) {
        writeFileAtomically(document, text);
        writeFileAtomically(signature, sig);
        EXPECT_EQ(kept(), nullptr) << text.size();
    }
}

}  // namespace
}  // namespace suite
