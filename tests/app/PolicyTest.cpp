// The administrator's policy on real files: only one no one but root could have written counts,
// members that break their rule are dropped with a warning while the rest holds, and the forced
// settings reach the page locked, survive the page's saves and set the login entry.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "app/Policy.h"
#include "app/Settings.h"
#include "fakes/AppHarness.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

constexpr const char* kForcing =
    R"({"settings": {"autoInstall": true, "startLogin": true, "autoCheck": "hourly", "lang": "ar"},
        "by": "ACME IT"})";

std::string warnings(const PolicyRead& read) {
    std::string all;
    for (const auto& w : read.warnings) all += w + "; ";
    return all;
}

TEST(Policy, OnlyAFileOfRootsAloneCountsAndEachBadMemberIsDropped) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root's own files";
    fakes::TempDir dir;
    const fs::path file = dir / "etc" / "policy.json";
    EXPECT_FALSE(readPolicy(file).policy) << "no folder, no policy";
    fs::create_directories(file.parent_path());
    fs::permissions(file.parent_path(), fs::perms(0755));
    EXPECT_FALSE(readPolicy(file).policy);
    EXPECT_TRUE(readPolicy(file).warnings.empty()) << "no file is no fault";
    std::ofstream(file) << kForcing;
    fs::permissions(file, fs::perms(0644));
    const PolicyRead read = readPolicy(file);
    ASSERT_TRUE(read.policy);
    EXPECT_EQ(read.policy->settings, Json({{"autoInstall", true}, {"startLogin", true}}));
    EXPECT_EQ(read.policy->by, "ACME IT");
    EXPECT_EQ(warnings(read),
              "\"settings\".\"autoCheck\" ignored; \"settings\".\"lang\" ignored; ");

    const auto refusedFor = [&] {
        return readPolicy(file).policy ? "" : warnings(readPolicy(file));
    };
    fs::permissions(file, fs::perms(0664));
    EXPECT_EQ(refusedFor(), "ignored: writable by others than root; ");
    fs::permissions(file, fs::perms(0644));
    fs::permissions(file.parent_path(), fs::perms(0777));
    EXPECT_EQ(refusedFor(), "ignored: its folder is not root's alone; ");
    fs::permissions(file.parent_path(), fs::perms(0755));
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    EXPECT_EQ(refusedFor(), "ignored: writable by others than root; ");
    fs::rename(file, dir / "etc" / "real.json");
    fs::create_symlink("real.json", file);
    EXPECT_EQ(refusedFor(), "ignored: cannot be read; ") << "a link is not followed";
    EXPECT_FALSE(policyFrom("[1]").policy);
}

TEST(Policy, ForcedSettingsReachThePageLockedSurviveItsSavesAndSetTheLoginEntry) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root's own files";
    fakes::AppHarness h;
    const fs::path file = h.dir / "policy.json";
    std::ofstream(file) << kForcing;
    saveSettings(h.settingsFile(), {{"autoInstall", false}, {"lang", "en"}});
    auto& app = h.startWith([&](AppConfig& config) { config.policyFile = file; }, h.http);
    app.userContentController({{"type", "ready"}});
    const Json init = h.events().at(0);
    EXPECT_EQ(init["policy"]["settings"], Json({{"autoInstall", true}, {"startLogin", true}}));
    EXPECT_EQ(init["policy"]["by"], "ACME IT");
    EXPECT_EQ(init["settings"]["autoInstall"], true);
    EXPECT_TRUE(
        fs::exists(h.dir / "config" / "autostart" / "com.brenlow.talven.suite.agent.desktop"));
    app.userContentController(
        {{"type", "save"}, {"settings", {{"autoInstall", false}, {"lang", "ar"}}}});
    EXPECT_EQ(loadSettings(h.settingsFile()),
              Json({{"autoInstall", true}, {"startLogin", true}, {"lang", "ar"}}));
    app.userContentController({{"type", "setLoginItem"}, {"on", false}});
    EXPECT_TRUE(
        fs::exists(h.dir / "config" / "autostart" / "com.brenlow.talven.suite.agent.desktop"));
}

// What users may install: hidden products, a version held, the program itself with self-update
// off. The page never sees what is hidden, and an install the page asks for anyway fails.
TEST(Policy, ProductsAreHiddenHeldOrLeftToTheFleet) {
    const std::string text =
        R"({"hidden": ["secret"], "allowed": ["a", "me", "pinned"], "held": {"pinned": "4.0"},
            "selfUpdate": false, "feedbackAttachments": "no"})";
    const PolicyRead read = policyFrom(text);
    ASSERT_TRUE(read.policy);
    EXPECT_EQ(warnings(read), "\"feedbackAttachments\" ignored: not true or false; ");
    EXPECT_TRUE(read.policy->feedbackAttachments);
    EXPECT_EQ(
        warnings(policyFrom(R"({"held": {"a": 4}, "hidden": "a", "mirror": "http://m.example/"})")),
        "\"hidden\" ignored: not a list of product ids; \"held\" ignored: not an object of "
        "product ids and versions; \"mirror\" ignored: not an https folder's address; ");
    for (const char* refused :
         {"https://u@m.example/", "https://m.example/?a", "https:///x", "ftp://m.example/"}) {
        EXPECT_EQ(policyFrom(Json({{"mirror", refused}}).dump()).policy->mirror, "") << refused;
    }
    // The mirror is asked first, for the catalog and for each package by its file name.
    const auto mirrored = policyFrom(R"({"mirror": "https://m.example/talven"})").policy;
    EXPECT_EQ(
        catalogAddresses({"https://v/c.json"}, mirrored),
        (std::vector<std::string>{"https://m.example/talven/catalog.json", "https://v/c.json"}));
    const auto request =
        underPolicy({.items = {{.id = "a", .urls = {"https://v/a b+1.deb"}, .file = "a b+1.deb"}}},
                    mirrored, [](const InstallItem&, PolicyBar) { FAIL(); });
    EXPECT_EQ(request.items.at(0).urls,
              (std::vector<std::string>{"https://m.example/talven/a%20b%2B1.deb",
                                        "https://v/a b+1.deb"}));
    const auto& policy = read.policy;
    EXPECT_EQ(policyBar(policy, "a", "1", false), PolicyBar::None);
    EXPECT_EQ(policyBar(policy, "secret", "1", false), PolicyBar::Hidden);
    EXPECT_EQ(policyBar(policy, "b", "1", false), PolicyBar::Hidden) << "not allowed";
    EXPECT_EQ(policyBar(policy, "pinned", "5.0", false), PolicyBar::Held);
    EXPECT_EQ(policyBar(policy, "pinned", "4.0", false), PolicyBar::None);
    EXPECT_EQ(policyBar(policy, "me", "9", true), PolicyBar::SelfUpdate);
    EXPECT_EQ(policyBar(std::nullopt, "secret", "1", true), PolicyBar::None);

    // The page leaves out what users do not see (the page tests' to show).
    const Json told = policyJson(policy);
    EXPECT_EQ(told["hidden"], Json::array({"secret"}));
    EXPECT_EQ(told["allowed"], Json::array({"a", "me", "pinned"}));
    EXPECT_EQ(policyJson(Policy{})["allowed"], nullptr);

    if (::geteuid() != 0) GTEST_SKIP() << "needs root's own files";
    fakes::AppHarness h;
    std::ofstream(h.dir / "policy.json") << text;
    auto& app =
        h.startWith([&](AppConfig& config) { config.policyFile = h.dir / "policy.json"; }, h.http);
    app.install(
        {.items = {{.id = "secret", .version = "1"}, {.id = "me", .version = "9", .self = true}}});
    EXPECT_EQ(h.events(), (std::vector<Json>{{{"type", "result"},
                                              {"id", "secret"},
                                              {"ok", false},
                                              {"error", "install"},
                                              {"reason", "policy"},
                                              {"detail", "hidden"}},
                                             {{"type", "result"},
                                              {"id", "me"},
                                              {"ok", false},
                                              {"error", "install"},
                                              {"reason", "policy"},
                                              {"detail", "selfUpdate"}}}));
    EXPECT_TRUE(h.http.calls.empty());
}

}  // namespace
}  // namespace suite
