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

TEST(LaunchValues, SwitchesAreWholeCaseSensitiveArguments) {
    TempDir dir;
    auto both = launchWith({"/usr/bin/talven-suite", "--background", "--demo"}, {}, dir);
    EXPECT_TRUE(both.isDemo);
    EXPECT_TRUE(both.startHidden);

    auto lookalikes =
        launchWith({"talven-suite", "--demo=1", "--Demo", "--backgrounds", "-demo"}, {}, dir);
    EXPECT_FALSE(lookalikes.isDemo || lookalikes.startHidden);
}

TEST(LaunchValues, DemoVariableMustBeExactlyOne) {
    TempDir dir;
    EXPECT_TRUE(launchWith({"p"}, {{"TALVEN_SUITE_DEMO", "1"}}, dir).isDemo);
    for (const char* value : {"true", " 1", "1 ", "01", "", "yes"}) {
        EXPECT_FALSE(launchWith({"p"}, {{"TALVEN_SUITE_DEMO", value}}, dir).isDemo) << value;
    }
    // The switch decides even when the variable says otherwise.
    EXPECT_TRUE(launchWith({"p", "--demo"}, {{"TALVEN_SUITE_DEMO", "0"}}, dir).isDemo);
}

TEST(LaunchValues, FoldersAreCreatedAndVersionFallsBack) {
    TempDir dir;
    auto values = launchWith({"p"}, {}, dir, "");
    EXPECT_EQ(values.appVersion, "1.0.0");
    EXPECT_EQ(values.supportDir, dir / "config" / "TALVEN Suite");
    EXPECT_EQ(values.cacheDir, dir / "cache" / "TALVEN Suite" / "downloads");
    EXPECT_TRUE(std::filesystem::is_directory(values.supportDir));
    EXPECT_TRUE(std::filesystem::is_directory(values.cacheDir));
    EXPECT_EQ(launchWith({"p"}, {}, dir, "2.3.4").appVersion, "2.3.4");  // folders already there

    // An impossible folder is not fatal.
    std::ofstream(dir / "blocker") << "x";
    FakeEnvironment env;
    auto blocked = computeLaunchValues(
        {"p"}, env, "1", UserFolders{dir / "blocker", dir / "blocker", dir / "blocker"});
    EXPECT_FALSE(std::filesystem::exists(blocked.supportDir));
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

TEST(Settings, BadFilesLoadAsEmpty) {
    TempDir dir;
    EXPECT_EQ(loadSettings(dir / "missing.json"), Json::object());
    // Valid JSON nested far deeper than any settings: refused like a broken file, not read.
    const std::string deep =
        "{\"lang\":\"ar\",\"x\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
    for (const std::string content :
         {"[1,2]", "42", "\"text\"", "{broken", "", "null", deep.c_str()}) {
        std::ofstream(dir / "settings.json", std::ios::trunc) << content;
        EXPECT_EQ(loadSettings(dir / "settings.json"), Json::object()) << content.substr(0, 20);
    }
    std::filesystem::create_directory(dir / "folder.json");
    EXPECT_EQ(loadSettings(dir / "folder.json"), Json::object());
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
