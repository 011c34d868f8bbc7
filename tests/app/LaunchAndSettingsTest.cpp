#include <gtest/gtest.h>

#include <fstream>

#include "app/LaunchValues.h"
#include "app/Settings.h"
#include "fakes/FakePlatform.h"
#include "fakes/TempDir.h"
#include "platform/Files.h"

namespace suite {
namespace {

using fakes::FakeEnvironment;
using fakes::TempDir;

LaunchValues launchWith(std::vector<std::string> args, std::map<std::string, std::string> env,
                        const TempDir& dir, std::string_view version = "2.3.4") {
    FakeEnvironment environment;
    environment.values = std::move(env);
    return computeLaunchValues(args, environment, version,
                               UserFolders{dir / "config", dir / "cache", dir / "state"});
}

TEST(LaunchValues, SwitchesAndTheDemoVariableAreExactAndTheFoldersAreMade) {
    TempDir dir;
    auto both = launchWith({"/usr/bin/talven-suite", "--background", "--demo"}, {}, dir, "");
    EXPECT_TRUE(both.isDemo && !both.startHidden);
    EXPECT_TRUE(launchWith({"p", "--background"}, {}, dir).startHidden);
    EXPECT_EQ(launchWith({"p", "--notification-answer=update"}, {}, dir).notificationAnswer,
              "update");
    EXPECT_EQ(both.appVersion, "1.0.0");
    EXPECT_EQ(both.cacheDir, dir / "cache" / "TALVEN Suite" / "downloads");
    EXPECT_TRUE(std::filesystem::is_directory(both.supportDir));
    EXPECT_TRUE(std::filesystem::is_directory(both.cacheDir));

    auto lookalikes = launchWith({"talven-suite", "--demo=1", "--Demo", "--backgrounds"}, {}, dir);
    EXPECT_FALSE(lookalikes.isDemo || lookalikes.startHidden || lookalikes.notificationAnswer);
    EXPECT_TRUE(launchWith({"p"}, {{"TALVEN_SUITE_DEMO", "1"}}, dir).isDemo);
    EXPECT_FALSE(launchWith({"p"}, {{"TALVEN_SUITE_DEMO", "1 "}}, dir).isDemo);
}

TEST(Settings, RoundTripIsHumanReadableAndExact) {
    TempDir dir;
    auto file = dir / "settings.json";
    Json settings = {{"lang", "ar"}, {"startLogin", true}, {"nested", {{"k", {1, 2.5, nullptr}}}}};
    ASSERT_TRUE(saveSettings(file, settings));
    EXPECT_EQ(loadSettings(file), settings);
    auto text = readWholeFile(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("\n  \"lang\": \"ar\""), std::string::npos) << *text;

    // Nothing but the file itself is left behind in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Settings, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    auto file = dir / "settings.json";
    ASSERT_TRUE(saveSettings(file, {{"lang", "en"}}));
    // A string that is not UTF-8 cannot be written as JSON; the old file must survive whole.
    EXPECT_FALSE(saveSettings(file, {{"lang", std::string("\xff\xfe")}}));
    EXPECT_EQ(loadSettings(file), Json({{"lang", "en"}}));
    // No folder to write into.
    EXPECT_FALSE(saveSettings(dir / "absent" / "settings.json", {{"a", 1}}));
}

// Whatever is in the file, the program starts with an object: empty unless the file holds one.
TEST(Settings, ABrokenFileReadsAsNoSettings) {
    TempDir dir;
    const auto file = dir / "settings.json";
    const std::string cases[] = {
        "",
        "{\"lang\": \"ar\"",
        "[\"lang\", \"ar\"]",
        "\"ar\"",
        "null",
        "42",
        "lang=ar",
        "{\"lang\": \"ar\"} {}",
        std::string(100000, '[') + std::string(100000, ']'),
        "{\"lang\": \"" + std::string(1 << 20, 'a') + "\xff\"}",
    };
    for (const auto& text : cases) {
        std::ofstream(file, std::ios::trunc) << text;
        EXPECT_EQ(loadSettings(file), Json::object()) << text.substr(0, 40);
    }
    // An object whose members have the wrong types is kept as it is; the language falls back.
    std::ofstream(file, std::ios::trunc) << R"({"lang": 5, "startLogin": "yes"})";
    EXPECT_EQ(interfaceLanguage(loadSettings(file), {"ar"}), "ar");
}

// The page checks its own rule against the same table (tests/fixtures/interface-language.json).
TEST(Settings, InterfaceLanguage) {
    std::ifstream in(SUITE_FIXTURES_DIR "/interface-language.json");
    const Json cases = Json::parse(in).at("cases");
    ASSERT_GT(cases.size(), 10u);
    for (const auto& row : cases) {
        const std::string tag = row.at(1);
        const Json settings = row.at(0).is_null() ? Json::object() : Json{{"lang", row.at(0)}};
        EXPECT_EQ(interfaceLanguage(settings, tag.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{tag, "ar"}),
                  row.at(2).get<std::string>())
            << row.dump();
    }
}

}  // namespace
}  // namespace suite
