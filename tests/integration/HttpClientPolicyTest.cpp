// Where the libcurl client refuses to go: plain http beyond this machine (also by redirect), and
// https servers whose certificate it cannot verify.
#include <gtest/gtest.h>

#include "fakes/TempDir.h"
#include "flows/VendorService.h"
#include "integration/LoopbackServer.h"

namespace suite {
namespace {

using testing::LoopbackServer;

HttpResponse fetchOnce(CurlHttpClient& client, ManualMainQueue& queue, const std::string& url,
                       HttpHeaders headers = {}) {
    HttpRequest r = testing::request(url);
    r.headers = std::move(headers);
    return testing::fetch(client, queue, r);
}

// A plain server that counts every request it gets, for "nothing was sent" checks.
class CountingServer {
  public:
    CountingServer() {
        server.http().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            ++hits;
            if (req.path == "/away") return res.set_redirect(req.get_header_value("X-Redirect-To"));
            res.set_content("here", "text/plain");
        });
    }
    LoopbackServer server;
    std::atomic<int> hits{0};
};

TEST(HttpClientPolicyTest, PlainHttpGoesOnlyToThisMachineAndOnlyWhenAllowedAlsoByRedirect) {
    CountingServer first, elsewhere;
    ASSERT_TRUE(first.server.start());
    ASSERT_TRUE(elsewhere.server.start());
    const std::string port = std::to_string(elsewhere.server.port());
    ManualMainQueue queue;
    CurlClientOptions strict;
    // plain.example leads to the loopback server, so a client that went there would be counted;
    // example.invalid would fail as HostNotFound rather than be refused.
    strict.resolve = {"plain.example:" + port + ":127.0.0.1"};
    CurlHttpClient strictClient(queue, strict);
    CurlClientOptions loopback = strict;
    loopback.allowPlainHttpToLoopback = true;
    CurlHttpClient loopbackClient(queue, loopback);
    auto redirectTo = [&](const std::string& target) {
        return fetchOnce(loopbackClient, queue, first.server.url("/away"),
                         {{"X-Redirect-To", target}});
    };

    for (const auto& refused :
         {fetchOnce(strictClient, queue, elsewhere.server.url("/")),
          fetchOnce(strictClient, queue, "ftp://127.0.0.1:" + port + "/"),
          fetchOnce(loopbackClient, queue, "http://plain.example:" + port + "/"),
          fetchOnce(loopbackClient, queue, "http://example.invalid/"),
          // curl would read this as 127.0.0.1; the program's one URL reader does not.
          fetchOnce(loopbackClient, queue, "http://127.1:" + port + "/")})
        EXPECT_EQ(refused.error, TransportError::Refused) << refused.errorMessage;
    for (const auto& refused : {redirectTo("http://plain.example:" + port + "/"),
                                redirectTo("ftp://127.0.0.1:" + port + "/")})
        EXPECT_EQ(refused.error, TransportError::RedirectRefused) << refused.errorMessage;
    EXPECT_EQ(elsewhere.hits.load(), 0);

    // Loopback as the URL reader spells it is allowed, also as a redirect's target.
    EXPECT_EQ(fetchOnce(loopbackClient, queue, "http://LOCALHOST:" + port + "/").status, 200);
    EXPECT_EQ(redirectTo(elsewhere.server.url("/")).body, "here");
    EXPECT_EQ(elsewhere.hits.load(), 2);
}

// The vendor service's certificate names brenlow.example and its subdomains, from its own CA.
TEST(HttpClientPolicyTest, HttpsServerIsTrustedOnlyThroughItsCertificate) {
    fakes::TempDir temp;
    flows::VendorService vendor(temp / "vendor", {.largeMiB = 1});
    const std::string port = std::to_string(vendor.port());
    ManualMainQueue queue;
    CurlClientOptions trusting;
    trusting.resolve = {"brenlow.example:" + port + ":127.0.0.1"};
    trusting.caFile = vendor.caFile();
    CurlHttpClient trustingClient(queue, trusting);
    const std::string catalog = "/suite/catalog.json";
    const HttpResponse verified =
        fetchOnce(trustingClient, queue, "https://brenlow.example:" + port + catalog);
    EXPECT_EQ(verified.error, TransportError::None) << verified.errorMessage;
    EXPECT_EQ(Json::parse(verified.body, nullptr, false), vendor.catalog());

    // The certificate names other hosts than 127.0.0.1: the host check applies too.
    EXPECT_EQ(fetchOnce(trustingClient, queue, "https://127.0.0.1:" + port + catalog).error,
              TransportError::Tls);
    CurlClientOptions systemOnly = trusting;
    systemOnly.caFile.clear();
    CurlHttpClient systemClient(queue, systemOnly);
    const HttpResponse unverified =
        fetchOnce(systemClient, queue, "https://brenlow.example:" + port + catalog);
    EXPECT_EQ(unverified.error, TransportError::Tls);
    EXPECT_EQ(unverified.status, 0);
}

}  // namespace
}  // namespace suite
