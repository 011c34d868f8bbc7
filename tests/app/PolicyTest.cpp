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
    EXPECT_EQ(init["policy"], Json({{"settings", {{"autoInstall", true}, {"startLogin", true}}},
                                    {"by", "ACME IT"}}));
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

}  // namespace
}  // namespace suite
