// Where the libcurl client refuses to go: plain http beyond this machine (also by redirect), and
// https servers whose certificate it cannot verify.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fakes/TempDir.h"
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
          fetchOnce(loopbackClient, queue, "http://example.invalid/")})
        EXPECT_EQ(refused.error, TransportError::Refused) << refused.errorMessage;
    for (const auto& refused : {redirectTo("http://plain.example:" + port + "/"),
                                redirectTo("ftp://127.0.0.1:" + port + "/")})
        EXPECT_EQ(refused.error, TransportError::RedirectRefused) << refused.errorMessage;
    EXPECT_EQ(elsewhere.hits.load(), 0);

    // Loopback in any spelling is allowed, also as a redirect's target.
    EXPECT_EQ(fetchOnce(loopbackClient, queue, "http://127.1:" + port + "/").status, 200);
    EXPECT_EQ(fetchOnce(loopbackClient, queue, "http://LOCALHOST:" + port + "/").status, 200);
    EXPECT_EQ(redirectTo(elsewhere.server.url("/")).body, "here");
    EXPECT_EQ(elsewhere.hits.load(), 3);
}

// A self-signed certificate for "localhost" and "brenlow.example", as PEM files in `folder`.
bool writeSelfSignedCertificate(const std::filesystem::path& folder) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        "-subj /CN=brenlow.example -addext subjectAltName=DNS:brenlow.example,DNS:localhost "
        "-keyout '" +
        (folder / "server.key").string() + "' -out '" + (folder / "server.pem").string() +
        "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST(HttpClientPolicyTest, HttpsServerIsTrustedOnlyThroughItsCertificate) {
    fakes::TempDir temp;
    ASSERT_TRUE(writeSelfSignedCertificate(temp.path()));
    const std::filesystem::path certificate = temp / "server.pem";
    LoopbackServer server(
        std::make_unique<httplib::SSLServer>(certificate.c_str(), (temp / "server.key").c_str()));
    std::atomic<int> hits{0};
    server.http().Get("/catalog", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content("signed catalog", "text/plain");
    });
    ASSERT_TRUE(server.start());
    const std::string origin = "https://brenlow.example:" + std::to_string(server.port());
    ManualMainQueue queue;

    CurlClientOptions trusting;
    trusting.resolve = {"brenlow.example:" + std::to_string(server.port()) + ":127.0.0.1"};
    trusting.caFile = certificate;
    CurlHttpClient trustingClient(queue, trusting);
    const HttpResponse verified = fetchOnce(trustingClient, queue, origin + "/catalog");
    EXPECT_EQ(verified.error, TransportError::None) << verified.errorMessage;
    EXPECT_EQ(verified.body, "signed catalog");

    // The certificate names other hosts than 127.0.0.1: the host check applies too.
    EXPECT_EQ(fetchOnce(trustingClient, queue, server.url("/catalog", "https")).error,
              TransportError::Tls);

    CurlClientOptions systemOnly = trusting;
    systemOnly.caFile.clear();
    CurlHttpClient systemClient(queue, systemOnly);
    const HttpResponse unverified = fetchOnce(systemClient, queue, origin + "/catalog");
    EXPECT_EQ(unverified.error, TransportError::Tls);
    EXPECT_EQ(unverified.status, 0);
    EXPECT_EQ(hits.load(), 1);
}

}  // namespace
}  // namespace suite
