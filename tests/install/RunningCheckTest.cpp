// Installing a product that is open: held back with its own result, never ended, and installed
// as usual once the user says so.
#include <gtest/gtest.h>

#include "fakes/AppHarness.h"
#include "install/InstallLog.h"
#include "platform/Files.h"

namespace suite {
namespace {

Json item(const std::string& id, Json processes) {
    Json made = {{"id", id},
                 {"url", "https://downloads.brenlow.example/" + id + ".deb"},
                 {"file", id + ".deb"},
                 {"size", 1000},
                 {"sha256", std::string(64, 'a')}};
    if (!processes.is_null()) made["processes"] = std::move(processes);
    return made;
}

struct RunningCheck : ::testing::Test {
    fakes::AppHarness h;
    void SetUp() override { h.start(); }
    std::vector<std::string> downloadsStarted() {
        std::vector<std::string> ids;
        for (auto& e : h.events())
            if (e["type"] == "progress" && e["phase"] == "download") ids.push_back(e["id"]);
        return ids;
    }
    std::vector<std::string> heldBack() {
        std::vector<std::string> ids;
        for (auto& e : h.events())
            if (e == Json{{"type", "result"}, {"id", e["id"]}, {"ok", false}, {"error", "running"}})
                ids.push_back(e["id"]);
        return ids;
    }
    std::string log() { return readWholeFile(h.launch.logDir / kInstallLogName).value_or(""); }
};

TEST_F(RunningCheck, AnOpenProductIsHeldBackUntilTheUserInstallsAnyway) {
    h.running.open = {"/opt/talven/presenter/helper"};
    h.install({item("presenter", {"/opt/talven/presenter/main", "/opt/talven/presenter/helper"}),
               item("capture", {"/opt/talven/capture/main"}), item("plain", nullptr)});
    EXPECT_EQ(heldBack(), std::vector<std::string>{"presenter"});
    EXPECT_EQ(downloadsStarted(), std::vector<std::string>{"capture"});
    EXPECT_NE(log().find("presenter is held back while /opt/talven/presenter/helper runs"),
              std::string::npos);
    EXPECT_EQ(h.running.asked, 2) << "an item that names no executable is not asked about";

    // Still open, and the user chose to install anyway: it joins the batch being downloaded.
    h.delegate->userContentController(
        {{"type", "install"},
         {"anyway", true},
         {"items", {item("presenter", {"/opt/talven/presenter/helper"})}}});
    EXPECT_EQ(heldBack(), std::vector<std::string>{"presenter"}) << "no second hold";
    EXPECT_EQ(h.running.asked, 2);
    EXPECT_EQ(h.http.calls.size(), 1u) << "capture first, presenter queued behind it";
}

TEST_F(RunningCheck, ExecutablesTheRulesRefuseAreNotAskedAboutAndTheItemStillInstalls) {
    Json tooMany = Json::array();
    for (int n = 0; n <= 16; ++n) tooMany.push_back("/opt/p" + std::to_string(n));
    std::vector<Json> lists = {"/opt/p", tooMany, Json::array({1})};
    for (const std::string bad : {"opt/p", "/opt/../p", "/opt//p", "/opt/p/", "/opt/p\n"})
        lists.push_back(Json::array({bad}));
    lists.push_back(Json::array({"/" + std::string(4095, 'p')}));
    h.running.open = {"/opt/p", "opt/p", "/opt/../p", "/opt//p", "/opt/p/", "/opt/p\n"};
    for (std::size_t n = 0; n < lists.size(); ++n)
        h.install({item("p" + std::to_string(n), lists[n])});
    EXPECT_EQ(h.running.asked, 0);
    EXPECT_TRUE(heldBack().empty());
    EXPECT_NE(log().find("the executables named for p1 are not absolute paths"), std::string::npos);

    // The longest path allowed, and as many as allowed, are asked about.
    tooMany.erase(tooMany.begin());
    h.install({item("longest", {"/" + std::string(4094, 'p')}), item("most", tooMany)});
    EXPECT_EQ(h.running.asked, 2);
}

}  // namespace
}  // namespace suite
