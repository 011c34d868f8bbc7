// Installing a product that is open: held back with its own result, never ended, and installed
// as usual once the user says so.
#include <gtest/gtest.h>

#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "platform/Files.h"

namespace suite {
namespace {

Json item(const std::string& id, Json processes) {
    return {{"id", id},
            {"url", "https://downloads.brenlow.example/" + id + ".deb"},
            {"size", 1000},
            {"file", id + ".deb"},
            {"sha256", std::string(64, 'a')},
            {"processes", std::move(processes)}};
}

struct RunningCheck : ::testing::Test {
    fakes::AppHarness h;
    void SetUp() override { h.start(); }
    // The ids of the "running" results and of the downloads started, in order.
    std::vector<std::string> told() {
        std::vector<std::string> ids;
        for (auto& e : h.events())
            if (e.value("error", "") == "running" || e.value("phase", "") == "download")
                ids.push_back(e.value("error", "download") + " " + e["id"].get<std::string>());
        return ids;
    }
    std::string log() { return readWholeFile(h.launch.logDir / kInstallLogName).value_or(""); }
};

TEST_F(RunningCheck, AnOpenProductIsHeldBackUntilTheUserInstallsAnyway) {
    h.running.open = {"/opt/talven/presenter/helper"};
    h.install({item("presenter", {"/opt/talven/presenter/main", "/opt/talven/presenter/helper"}),
               item("capture", {"/opt/talven/capture/main"}), item("plain", Json::array())});
    EXPECT_EQ(told(), (std::vector<std::string>{"running presenter", "download capture"}));
    EXPECT_NE(log().find("presenter is held back while /opt/talven/presenter/helper runs"),
              std::string::npos);
    EXPECT_EQ(h.running.asked, 2) << "an item that names no executable is not asked about";
    // Still open, and the user chose to install anyway: it joins the batch being downloaded.
    h.delegate->userContentController(
        {{"type", "install"}, {"anyway", true}, {"items", {item("presenter", h.running.open)}}});
    EXPECT_EQ(told().size(), 2u) << "no second hold";
    EXPECT_EQ(h.running.asked, 2);
}

TEST_F(RunningCheck, ExecutablesTheRulesRefuseAreNotAskedAboutAndTheItemStillInstalls) {
    Json most = Json::array();
    for (int n = 0; n < 16; ++n) most.push_back("/opt/p" + std::to_string(n));
    Json tooMany = most;
    tooMany.push_back("/opt/p16");
    std::vector<Json> refused = {"/opt/p", Json::array({1}), tooMany,
                                 Json::array({"/" + std::string(4095, 'p')})};
    for (const std::string bad : {"opt/p", "/opt/../p", "/opt//p", "/opt/p/", "/opt/p\n"})
        refused.push_back(Json::array({bad}));
    for (std::size_t n = 0; n < refused.size(); ++n)
        h.install({item("p" + std::to_string(n), refused[n])});
    EXPECT_EQ(h.running.asked, 0);
    EXPECT_NE(log().find("the executables named for p1 are not absolute paths"), std::string::npos);
    // The longest path allowed, and as many as allowed, are asked about.
    h.install({item("longest", {"/" + std::string(4094, 'p')}), item("most", most)});
    EXPECT_EQ(h.running.asked, 2);
}

}  // namespace
}  // namespace suite
