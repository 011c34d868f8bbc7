#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

#include "install/InstallScript.h"

namespace suite {
namespace {

// Sets TZ for the life of the object and puts the previous value back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
}

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
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", "''"},
        {"plain", "'plain'"},
        {"it's", "'it'\\''s'"},
        {"''", "''\\'''\\'''"},
        {"'", "''\\'''"},
        {"a b\t$(id) `id` \"q\" \\ *", "'a b\t$(id) `id` \"q\" \\ *'"},
        {"line\nbreak", "'line\nbreak'"},
        {"-rf", "'-rf'"},
    };
    for (const auto& c : cases) EXPECT_EQ(shellQuote(c.in), c.out) << c.in;
}

TEST(InstallScript, TimeStampIsLocalTime) {
    const std::time_t moment = utc(2026, 12, 5, 7, 30, 12);
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(installTimeStamp(moment), "2026-12-05 07.30.12");
    }
    {
        // POSIX sign convention: three hours east of Greenwich.
        ScopedTimeZone zone("XST-3");
        EXPECT_EQ(installTimeStamp(moment), "2026-12-05 10.30.12");
    }
    {
        // Crossing midnight backwards changes the date too.
        ScopedTimeZone zone("YST9");
        EXPECT_EQ(installTimeStamp(moment), "2026-12-04 22.30.12");
    }
}

TEST(InstallScript, FilesLiveInTheRunsOwnFolders) {
    InstallPaths paths;
    paths.tempFolder = "/tmp/x";
    EXPECT_EQ(markerPath(paths), "/tmp/x/.talven-suite-installing");
    EXPECT_EQ(packageOutputPath("/run/out", 0), "/run/out/talven-suite-install-0.log");
    EXPECT_EQ(packageOutputPath("/run/out", 12), "/run/out/talven-suite-install-12.log");
}

TEST(InstallScript, MoveAsideForEveryApplicationFolderWithDatedNames) {
    auto commands = moveAsideCommands(appItem({"Foo.app"}), macPaths(), kStamp);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0],
              "if [ -d '/Applications/Foo.app' ]; then /usr/bin/pkill -x -- 'Foo' 2>/dev/null; "
              "sleep 1; /bin/mkdir -p '/Users/ann/.Trash'; /bin/mv '/Applications/Foo.app' "
              "'/Users/ann/.Trash/Foo (old 2026-12-05 07.30.12).app'; fi");
    EXPECT_EQ(commands[1],
              "if [ -d '/Users/ann/Applications/Foo.app' ]; then /usr/bin/pkill -x -- 'Foo' "
              "2>/dev/null; sleep 1; /bin/mkdir -p '/Users/ann/.Trash'; /bin/mv "
              "'/Users/ann/Applications/Foo.app' "
              "'/Users/ann/.Trash/Foo (old 2026-12-05 07.30.12 2).app'; fi");

    // Names in list order, each for every folder in order; a third folder gets " 3".
    InstallPaths three = macPaths();
    three.appDirs.push_back("/opt/apps");
    auto more = moveAsideCommands(appItem({"A.app", "B's.app"}), three, kStamp);
    ASSERT_EQ(more.size(), 6u);
    EXPECT_NE(more[0].find("'/Applications/A.app'"), std::string::npos);
    EXPECT_NE(more[2].find("'/Users/ann/.Trash/A (old 2026-12-05 07.30.12 3).app'"),
              std::string::npos);
    EXPECT_NE(more[3].find("-x -- 'B'\\''s' "), std::string::npos);
    EXPECT_NE(more[5].find("'/opt/apps/B'\\''s.app'"), std::string::npos);
}

TEST(InstallScript, NoMoveAsideUnlessAnOrdinaryAppItemNamesABundle) {
    const InstallPaths paths = macPaths();
    Json self = appItem({"Foo.app"});
    self["self"] = true;
    Json addin = appItem({"Foo.app"});
    addin["group"] = "addin";
    Json selfAsText = appItem({"Foo.app"});
    selfAsText["self"] = "true";  // not a bool: not the program itself

    EXPECT_TRUE(moveAsideCommands(self, paths, kStamp).empty());
    EXPECT_TRUE(moveAsideCommands(addin, paths, kStamp).empty());
    EXPECT_TRUE(moveAsideCommands({{"detect", {{"apps", {"Foo.app"}}}}}, paths, kStamp).empty());
    EXPECT_TRUE(moveAsideCommands(Json::array(), paths, kStamp).empty());
    EXPECT_EQ(moveAsideCommands(selfAsText, paths, kStamp).size(), 2u);

    // Only single path components that end in ".app" name a bundle.
    const std::vector<std::string> notBundles = {"../Foo.app",
                                                 "Sub/Foo.app",
                                                 "/Foo.app",
                                                 "Foo",
                                                 "Foo.App",
                                                 "Foo.app/",
                                                 ".app",
                                                 ".",
                                                 "..",
                                                 "",
                                                 std::string("F\0o.app", 7)};
    for (const auto& bad : notBundles) {
        EXPECT_TRUE(moveAsideCommands(appItem({bad}), paths, kStamp).empty()) << bad;
    }
    // A list with a non-string entry is not a list of names at all.
    EXPECT_TRUE(moveAsideCommands(appItem({"Foo.app", 3}), paths, kStamp).empty());

    // Without a home folder there is no Trash to move to.
    InstallPaths homeless = paths;
    homeless.home.clear();
    EXPECT_TRUE(moveAsideCommands(appItem({"Foo.app"}), homeless, kStamp).empty());
}

TEST(InstallScript, InstallerCommandSendsAllOutputToThePackagesFile) {
    EXPECT_EQ(installerCommand(3, "/Users/ann/Library/Caches/d/it's.pkg", InstallPaths{},
                               "/tmp/run.ab12"),
              "if /usr/sbin/installer -pkg '/Users/ann/Library/Caches/d/it'\\''s.pkg' -target / "
              ">'/tmp/run.ab12/talven-suite-install-3.log' 2>&1; then echo OK:3; else echo "
              "FAIL:3; fi");

    // Tool paths that the shell would read differently are quoted.
    InstallPaths odd;
    odd.installer = "/tmp/my tools/installer";
    EXPECT_EQ(installerCommand(0, "/p.pkg", odd, "/o").rfind("if '/tmp/my tools/installer' ", 0),
              0u);
}

TEST(InstallScript, WholeScriptGuardsTheMarkerAndRunsEveryPackage) {
    InstallPaths paths = macPaths();
    std::vector<VerifiedPackage> packages = {
        {appItem({"Foo.app"}), "/c/foo.pkg"},
        {{{"id", "addin"}, {"group", "addin"}}, "/c/addin.pkg"},
    };
    const std::string script = buildInstallScript(packages, paths, "/tmp/out", kStamp);
    const auto moves = moveAsideCommands(packages[0].item, paths, kStamp);
    const std::string expected =
        "/bin/rm -f '/private/tmp/.talven-suite-installing'; "
        "(set -C; : > '/private/tmp/.talven-suite-installing') 2>/dev/null; " +
        moves[0] + "; " + moves[1] + "; " + installerCommand(0, "/c/foo.pkg", paths, "/tmp/out") +
        "; " + installerCommand(1, "/c/addin.pkg", paths, "/tmp/out") +
        "; /bin/rm -f '/private/tmp/.talven-suite-installing'";
    EXPECT_EQ(script, expected);

    // Nothing to install still leaves no marker behind.
    EXPECT_EQ(buildInstallScript({}, paths, "/tmp/out", kStamp),
              "/bin/rm -f '/private/tmp/.talven-suite-installing'; "
              "(set -C; : > '/private/tmp/.talven-suite-installing') 2>/dev/null; "
              "/bin/rm -f '/private/tmp/.talven-suite-installing'");
}

TEST(InstallScript, PromptFollowsTheInterfaceLanguage) {
    EXPECT_EQ(installPrompt(false), "TALVEN™ Suite wants to install TALVEN apps.");
    EXPECT_EQ(installPrompt(true), "يريد TALVEN™ Suite تثبيت تطبيقات TALVEN.");
}

TEST(InstallScript, AppleScriptLiteralKeepsBackslashesAndQuotes) {
    EXPECT_EQ(appleScriptEscape(""), "");
    EXPECT_EQ(appleScriptEscape("plain 'x'"), "plain 'x'");
    EXPECT_EQ(appleScriptEscape("a\\b"), "a\\\\b");
    EXPECT_EQ(appleScriptEscape("say \"hi\""), "say \\\"hi\\\"");
    // A backslash right before a quote: both survive, neither swallows the other.
    EXPECT_EQ(appleScriptEscape("\\\""), "\\\\\\\"");

    EXPECT_EQ(appleScriptSource("echo \"a\\b\"", "Pr\"ompt"),
              "do shell script \"echo \\\"a\\\\b\\\"\" with prompt \"Pr\\\"ompt\" "
              "with administrator privileges");
}

}  // namespace
}  // namespace suite
