#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/macos/InstallScript.h"

namespace suite {
namespace {

InstallPaths macPaths() {
    InstallPaths paths;
    paths.appDirs = {"/Applications", "/Users/ann/Applications"};
    paths.home = "/Users/ann";
    return paths;
}

Json appItem(Json apps) {
    return {{"id", "foo"}, {"group", "app"}, {"detect", {{"apps", std::move(apps)}}}};
}

const std::string kStamp = "2026-12-05 07.30.12";

TEST(InstallScript, ShellQuoteSurvivesEveryCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "''"},
        {"it's", "'it'\\''s'"},
        {"''", "''\\'''\\'''"},
        {"a b\t$(id) `id` \"q\" \\ *", "'a b\t$(id) `id` \"q\" \\ *'"},
        {"line\nbreak", "'line\nbreak'"},
        {"-rf", "'-rf'"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(shellQuote(in), out) << in;
}

TEST(InstallScript, TimeStampIsLocalTime) {
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    const std::time_t moment = 1796455812;  // 2026-12-05T07:30:12Z
    // POSIX sign convention: "XST-3" is three hours east; "YST9" crosses midnight backwards.
    for (const auto& [zone, stamp] : {std::pair{"UTC0", "2026-12-05 07.30.12"},
                                      {"XST-3", "2026-12-05 10.30.12"},
                                      {"YST9", "2026-12-04 22.30.12"}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        EXPECT_EQ(installTimeStamp(moment), stamp) << zone;
    }
    oldZone ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

TEST(InstallScript, MoveAsideForEveryApplicationFolderWithDatedNames) {
    auto commands = moveAsideCommands(appItem({"Foo.app"}), macPaths(), kStamp);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0],
              "if [ -d '/Applications/Foo.app' ]; then /usr/bin/pkill -x -- 'Foo' 2>/dev/null; "
              "sleep 1; /bin/mkdir -p '/Users/ann/.Trash'; /bin/mv '/Applications/Foo.app' "
              "'/Users/ann/.Trash/Foo (old 2026-12-05 07.30.12).app'; fi");
    EXPECT_NE(commands[1].find("[ -d '/Users/ann/Applications/Foo.app' ]"), std::string::npos);
    EXPECT_NE(commands[1].find("'/Users/ann/.Trash/Foo (old 2026-12-05 07.30.12 2).app'"),
              std::string::npos);

    // Names in list order, each for every folder in order.
    auto more = moveAsideCommands(appItem({"A.app", "B's.app"}), macPaths(), kStamp);
    ASSERT_EQ(more.size(), 4u);
    EXPECT_NE(more[3].find("-x -- 'B'\\''s' "), std::string::npos);
}

TEST(InstallScript, NoMoveAsideUnlessAnOrdinaryAppItemNamesABundle) {
    const InstallPaths paths = macPaths();
    Json self = appItem({"Foo.app"}), addin = appItem({"Foo.app"}),
         selfAsText = appItem({"Foo.app"});
    self["self"] = true;
    addin["group"] = "addin";
    selfAsText["self"] = "true";    // not a bool: not the program itself
    InstallPaths homeless = paths;  // no Trash to move to
    homeless.home.clear();
    for (const Json& item : {self, addin, Json{{"detect", {{"apps", {"Foo.app"}}}}}, Json::array(),
                             appItem({"Foo.app", 3})})
        EXPECT_TRUE(moveAsideCommands(item, paths, kStamp).empty()) << item;
    EXPECT_TRUE(moveAsideCommands(appItem({"Foo.app"}), homeless, kStamp).empty());
    EXPECT_EQ(moveAsideCommands(selfAsText, paths, kStamp).size(), 2u);

    // Only single path components that end in ".app" name a bundle.
    for (const auto& bad :
         {std::string("../Foo.app"), std::string("Sub/Foo.app"), std::string("/Foo.app"),
          std::string("Foo"), std::string("Foo.App"), std::string("Foo.app/"), std::string(".app"),
          std::string(".."), std::string(), std::string("F\0o.app", 7)})
        EXPECT_TRUE(moveAsideCommands(appItem({bad}), paths, kStamp).empty()) << bad;
}

TEST(InstallScript, InstallerCommandSendsAllOutputToThePackagesFile) {
    EXPECT_EQ(installerCommand(3, "/c/it's.pkg", InstallPaths{}, "/tmp/run.ab12"),
              "if /usr/sbin/installer -pkg '/c/it'\\''s.pkg' -target / "
              ">'/tmp/run.ab12/talven-suite-install-3.log' 2>&1; then echo OK:3; else echo "
              "FAIL:3; fi");
    InstallPaths odd;  // tool paths the shell would read differently are quoted
    odd.installer = "/tmp/my tools/installer";
    EXPECT_EQ(installerCommand(0, "/p.pkg", odd, "/o").rfind("if '/tmp/my tools/installer' ", 0),
              0u);
}

TEST(InstallScript, WholeScriptGuardsTheMarkerAndRunsEveryPackage) {
    const InstallPaths paths = macPaths();
    const std::vector<VerifiedPackage> packages = {
        {appItem({"Foo.app"}), "/c/foo.pkg"},
        {{{"id", "addin"}, {"group", "addin"}}, "/c/addin.pkg"}};
    const auto moves = moveAsideCommands(packages[0].item, paths, kStamp);
    const std::string rm = "/bin/rm -f '/private/tmp/.talven-suite-installing'";
    const std::string guard =
        rm + "; (set -C; : > '/private/tmp/.talven-suite-installing') 2>/dev/null; ";
    EXPECT_EQ(buildInstallScript(packages, paths, "/tmp/out", kStamp),
              guard + moves[0] + "; " + moves[1] + "; " +
                  installerCommand(0, "/c/foo.pkg", paths, "/tmp/out") + "; " +
                  installerCommand(1, "/c/addin.pkg", paths, "/tmp/out") + "; " + rm);
    EXPECT_EQ(buildInstallScript({}, paths, "/tmp/out", kStamp), guard + rm);
}

TEST(InstallScript, AppleScriptLiteral) {
    // A backslash right before a quote: both survive, neither swallows the other.
    EXPECT_EQ(appleScriptEscape("\\\""), "\\\\\\\"");
    EXPECT_EQ(appleScriptSource("echo \"a\\b\"", "Pr\"ompt"),
              "do shell script \"echo \\\"a\\\\b\\\"\" with prompt \"Pr\\\"ompt\" "
              "with administrator privileges");
}

}  // namespace
}  // namespace suite
