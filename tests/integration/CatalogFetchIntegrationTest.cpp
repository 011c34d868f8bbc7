// The catalog fetch through the real HTTP client against servers on this machine.
#include <gtest/gtest.h>

#include "fakes/AppHarness.h"
#include "integration/LoopbackServer.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;
using testing::RawLoopbackServer;

class CatalogFetchIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        CurlClientOptions options;
        options.allowPlainHttpToLoopback = true;
        client_ = std::make_unique<CurlHttpClient>(harness_.queue, options);
        server_.http().Get("/catalog.json", [this](const httplib::Request& request,
                                                   httplib::Response& response) {
            userAgent_ = request.get_header_value("User-Agent");
            response.set_content(" {\"products\": []}", "application/json");
        });
        server_.http().Get("/partial.json", [](const httplib::Request&, httplib::Response& response) {
            response.status = 206;
            response.set_content("{\"part\": 1}", "application/json");
        });
        server_.http().Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html>{}</html>", "text/html");
        });
        server_.http().Get("/newline.json", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("\n{}", "application/json");
        });
        server_.http().Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/catalog.json");
        });
        server_.http().Get("/stall", [this](const httplib::Request&, httplib::Response& response) {
            server_.gate.wait(5000ms);
            response.set_content("{}", "application/json");
        });
        ASSERT_TRUE(server_.start());
    }

    AppDelegate& start() {
        auto& app = harness_.startWith([&](AppConfig& config) { config.catalogTimeoutSeconds = 0.5; },
                                      *client_);
        return app;
    }

    // Runs the main queue until `count` catalog events have arrived (at most 10 s).
    std::vector<Json> catalogEvents(std::size_t count) {
        std::vector<Json> out;
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            harness_.queue.runReady();
            out.clear();
            for (auto& event : harness_.events()) {
                if (event["type"] == "catalog") out.push_back(event);
            }
            if (out.size() >= count) break;
            std::this_thread::sleep_for(2ms);
        }
        return out;
    }

    std::string closedPortUrl() {
        RawLoopbackServer closed([](int, testing::ReleaseGate&) {});
        return "http://127.0.0.1:" + std::to_string(closed.port()) + "/catalog.json";
    }

    fakes::AppHarness harness_;
    LoopbackServer server_;
    std::unique_ptr<CurlHttpClient> client_;
    std::string userAgent_;
};

TEST_F(CatalogFetchIntegration, FirstAcceptableAnswerWinsAndKeepsItsText) {
    auto& app = start();
    app.fetchCatalog({server_.url("/page.html"), server_.url("/newline.json"),
                      server_.url("/catalog.json"), server_.url("/partial.json")});
    auto events = catalogEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Json({{"type", "catalog"}, {"ok", true},
                               {"url", server_.url("/catalog.json")},
                               {"text", " {\"products\": []}"}}));
    EXPECT_EQ(userAgent_, "TALVEN-Suite/3.1.0 (Linux)");

    app.fetchCatalog({server_.url("/partial.json")});
    EXPECT_EQ(catalogEvents(2).at(1)["text"], "{\"part\": 1}");

    // The address as given is reported, also when a redirect led elsewhere.
    app.fetchCatalog({server_.url("/moved")});
    EXPECT_EQ(catalogEvents(3).at(2)["url"], server_.url("/moved"));
}

TEST_F(CatalogFetchIntegration, OfflineMeansNoServerAnswered) {
    auto& app = start();
    const std::string refused = closedPortUrl();
    app.fetchCatalog({refused, server_.url("/stall")});
    auto events = catalogEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Json({{"type", "catalog"}, {"ok", false}, {"offline", true}}));

    app.fetchCatalog({server_.url("/missing"), refused});
    events = catalogEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1]["offline"], false);
}

TEST_F(CatalogFetchIntegration, TwoFetchesInFlightEachAnswer) {
    auto& app = start();
    app.fetchCatalog({server_.url("/stall"), server_.url("/catalog.json")});
    app.fetchCatalog({server_.url("/partial.json")});
    auto events = catalogEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["url"], server_.url("/partial.json"));  // the quick one ends first
    EXPECT_EQ(events[1]["url"], server_.url("/catalog.json"));
}

}  // namespace
}  // namespace suite
