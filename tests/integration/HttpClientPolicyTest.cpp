// Where the libcurl client refuses to go: plain http beyond this machine (also by redirect), and
// https servers whose certificate it cannot verify.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>

#include "fakes/TempDir.h"
#include "integration/LoopbackServer.h"
#include "platform/ManualMainQueue.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using testing::LoopbackServer;
using testing::Recorded;
using testing::runUntilDone;
using testing::startRecorded;

HttpResponse fetchOnce(CurlHttpClient& client, ManualMainQueue& queue, const std::string& url,
                       HttpHeaders headers = {}) {
    Recorded recorded;
    HttpRequest request;
    request.url = url;
    request.headers = std::move(headers);
    request.timeoutSeconds = 10;
    startRecorded(client, request, recorded);
    EXPECT_TRUE(runUntilDone(queue, recorded)) << "no completion in time";
    EXPECT_EQ(recorded.completions, 1);
    return recorded.response;
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

TEST(HttpClientPolicyTest, PlainHttpGoesOnlyToThisMachineAndOnlyWhenAllowed) {
    CountingServer counting;
    ASSERT_TRUE(counting.server.start());
    const std::string port = std::to_string(counting.server.port());
    ManualMainQueue queue;

    CurlClientOptions strict;
    strict.resolve = {"plain.example:" + port + ":127.0.0.1"};
    CurlHttpClient strictClient(queue, strict);
    CurlClientOptions loopback = strict;
    loopback.allowPlainHttpToLoopback = true;
    CurlHttpClient loopbackClient(queue, loopback);
    // plain.example resolves to the loopback server, so a client that went there would be
    // counted; example.invalid would fail as HostNotFound rather than be refused.
    const std::vector<std::pair<CurlHttpClient*, std::string>> refused = {
        {&strictClient, counting.server.url("/")},
        {&strictClient, "ftp://127.0.0.1:" + port + "/"},
        {&loopbackClient, "http://plain.example:" + port + "/"},
        {&loopbackClient, "http://example.invalid/"}};
    for (const auto& [client, url] : refused) {
        EXPECT_EQ(fetchOnce(*client, queue, url).error, TransportError::Other) << url;
    }
    EXPECT_EQ(counting.hits.load(), 0);

    // Loopback in any spelling is allowed.
    EXPECT_EQ(fetchOnce(loopbackClient, queue, "http://127.1:" + port + "/").status, 200);
    EXPECT_EQ(fetchOnce(loopbackClient, queue, "http://LOCALHOST:" + port + "/").status, 200);
    EXPECT_EQ(counting.hits.load(), 2);
}

TEST(HttpClientPolicyTest, RedirectsAreHeldToTheSameRule) {
    CountingServer first;
    CountingServer elsewhere;
    ASSERT_TRUE(first.server.start());
    ASSERT_TRUE(elsewhere.server.start());
    const std::string elsewherePort = std::to_string(elsewhere.server.port());
    ManualMainQueue queue;
    CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    options.resolve = {"plain.example:" + elsewherePort + ":127.0.0.1"};
    CurlHttpClient client(queue, options);

    auto redirectTo = [&](const std::string& target) {
        return fetchOnce(client, queue, first.server.url("/away"), {{"X-Redirect-To", target}});
    };

    const HttpResponse refused = redirectTo("http://plain.example:" + elsewherePort + "/");
    EXPECT_EQ(refused.error, TransportError::Other);
    EXPECT_NE(refused.errorMessage.find("redirect"), std::string::npos) << refused.errorMessage;
    EXPECT_EQ(elsewhere.hits.load(), 0);

    EXPECT_EQ(redirectTo("ftp://127.0.0.1:" + elsewherePort + "/").error, TransportError::Other);

    const HttpResponse allowed = redirectTo(elsewhere.server.url("/"));
    EXPECT_EQ(allowed.error, TransportError::None) << allowed.errorMessage;
    EXPECT_EQ(allowed.body, "here");
    EXPECT_EQ(elsewhere.hits.load(), 1);
}

// A self-signed certificate for "localhost" and "brenlow.example", as PEM files in `folder`.
bool writeSelfSignedCertificate(const std::filesystem::path& folder) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!key || !cert) return false;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("brenlow.example"), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)> names(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name,
                            "DNS:brenlow.example,DNS:localhost"),
        X509_EXTENSION_free);
    if (!names || !X509_add_ext(cert.get(), names.get(), -1)) return false;
    if (!X509_sign(cert.get(), key.get(), EVP_sha256())) return false;

    std::FILE* certFile = std::fopen((folder / "server.pem").c_str(), "w");
    std::FILE* keyFile = std::fopen((folder / "server.key").c_str(), "w");
    const bool written =
        certFile && keyFile && PEM_write_X509(certFile, cert.get()) &&
        PEM_write_PrivateKey(keyFile, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    if (certFile) std::fclose(certFile);
    if (keyFile) std::fclose(keyFile);
    return written;
}

TEST(HttpClientPolicyTest, HttpsServerIsTrustedOnlyThroughItsCertificate) {
    fakes::TempDir temp;
    ASSERT_TRUE(writeSelfSignedCertificate(temp.path()));
    const std::filesystem::path certificate = temp / "server.pem";
    LoopbackServer server(std::make_unique<httplib::SSLServer>(certificate.c_str(),
                                                               (temp / "server.key").c_str()));
    std::atomic<int> hits{0};
    server.http().Get("/catalog", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content("signed catalog", "text/plain");
    });
    server.http().Get("/downgrade", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("http://127.0.0.1:1/", 302);
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
              TransportError::Other);
    EXPECT_EQ(fetchOnce(trustingClient, queue, origin + "/downgrade").error,
              TransportError::Other);

    CurlClientOptions systemOnly = trusting;
    systemOnly.caFile.clear();
    CurlHttpClient systemClient(queue, systemOnly);
    const HttpResponse unverified = fetchOnce(systemClient, queue, origin + "/catalog");
    EXPECT_EQ(unverified.error, TransportError::Other);
    EXPECT_EQ(unverified.status, 0);
    EXPECT_EQ(hits.load(), 1);
}

}  // namespace
}  // namespace suite
