// The generated install script run for real by /bin/sh, against fake tools that record every
// argument they receive, in a temporary root whose own name is hostile to a shell.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/Files.h"
#include "common/Process.h"
#include "fakes/TempDir.h"
#include "install/InstallLog.h"
#include "install/InstallScript.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

using Call = std::vector<std::string>;  // the tool's name, then its arguments

const std::string kStamp = "2026-12-05 07.30.12";

class ScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_ / "o'dd \"root\" $(false) `false` \\ dir";
        for (const char* sub : {"bin", "tmp", "Apps", "home/Applications", "pkgs"}) {
            fs::create_directories(root_ / sub);
        }
        ASSERT_EQ(::mkdir((root_ / "out").c_str(), 0700), 0);
        record_ = dir_ / "record";

        paths_.installer = tool("installer");
        paths_.pkill = tool("pkill");
        paths_.mkdir = tool("mkdir");
        paths_.mv = tool("mv");
        paths_.rm = tool("rm");
        paths_.sleep = tool("sleep");
        paths_.tempFolder = (root_ / "tmp").string();
        paths_.appDirs = {(root_ / "Apps").string(), (root_ / "home/Applications").string()};
        paths_.home = (root_ / "home").string();
        outputFolder_ = (root_ / "out").string();
        marker_ = markerPath(paths_);

        writeFake("pkill", "exit 1\n");
        writeFake("sleep", "exit 0\n");
        writeFake("mkdir", "exec /bin/mkdir \"$@\"\n");
        writeFake("mv", "exec /bin/mv \"$@\"\n");
        writeFake("rm", "exec /bin/rm \"$@\"\n");
        // Succeeds unless the package's name says "fail"; proves the marker is there while it
        // runs (a regular file, not a link) and writes to both of its streams.
        writeFake("installer",
                  "if [ -f " + shellQuote(marker_) + " ] && [ ! -L " + shellQuote(marker_) +
                      " ]; then echo 'marker present'; else echo 'marker missing'; fi\n"
                      "printf 'installing %s\\n' \"$2\"\n"
                      "echo complaint >&2\n"
                      "case \"$2\" in *fail*) exit 1;; esac\n");
    }

    std::string tool(const std::string& name) const { return (root_ / "bin" / name).string(); }

    // A fake tool: records its name and arguments, NUL-terminated, then runs `body`.
    void writeFake(const std::string& name, const std::string& body) const {
        const std::string path = tool(name);
        std::ofstream(path) << "#!/bin/sh\n"
                            << "{ printf '%s\\0' " << shellQuote(name)
                            << "; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; "
                               "printf '<end>\\0'; } >>"
                            << shellQuote(record_.string()) << "\n"
                            << body;
        fs::permissions(path, fs::perms::owner_all);
    }

    std::vector<Call> calls() const {
        std::vector<Call> out;
        std::string data = readWholeFile(record_).value_or("");
        Call current;
        std::size_t start = 0;
        for (std::size_t end; (end = data.find('\0', start)) != std::string::npos;
             start = end + 1) {
            std::string token = data.substr(start, end - start);
            if (token == "<end>") {
                out.push_back(std::move(current));
                current.clear();
            } else {
                current.push_back(std::move(token));
            }
        }
        return out;
    }

    std::vector<Call> callsOf(const std::string& name) const {
        std::vector<Call> out;
        for (auto& call : calls()) {
            if (call.front() == name) out.push_back(call);
        }
        return out;
    }

    ProcessResult run(const std::vector<VerifiedPackage>& packages) const {
        ProcessOptions options;
        options.captureStandardError = true;
        options.timeoutSeconds = 30;
        options.environment = {{"SUITE_SENTINEL", (dir_ / "pwned").string()}};
        const std::string script = buildInstallScript(packages, paths_, outputFolder_, kStamp);
        auto result = runProcess("/bin/sh", {"-c", script}, options);
        EXPECT_TRUE(result.has_value());
        if (!result) return {};
        EXPECT_FALSE(result->timedOut);
        return *result;
    }

    std::string pkg(const std::string& name) const { return (root_ / "pkgs" / name).string(); }

    static Json app(std::vector<std::string> names) {
        return {{"group", "app"}, {"detect", {{"apps", std::move(names)}}}};
    }

    fakes::TempDir dir_;
    fs::path root_;
    fs::path record_;
    InstallPaths paths_;
    std::string outputFolder_;
    std::string marker_;
};

TEST_F(ScriptRun, HostileNamesReachTheToolsByteForByte) {
    const fs::path sentinel = dir_ / "pwned";
    // No "/" in it: bundle names with one are refused before they reach the script.
    const std::string hostile =
        "it's \"q\" $(touch \"$SUITE_SENTINEL\") `touch \"$SUITE_SENTINEL\"` ${HOME} \\n\\\\ "
        "\nnext\tline";
    const std::string bundle = hostile + ".app";
    fs::create_directories(root_ / "Apps" / bundle);
    fs::create_directories(root_ / "home/Applications/-dash.app");
    const std::string package = pkg("-" + hostile + ".pkg");

    auto result = run({{app({bundle, "-dash.app"}), package}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "OK:0\n");
    EXPECT_FALSE(fs::exists(sentinel)) << "a command substitution ran";

    const std::string trash = paths_.home + "/.Trash";
    EXPECT_EQ(callsOf("pkill"),
              (std::vector<Call>{{"pkill", "-x", "--", hostile}, {"pkill", "-x", "--", "-dash"}}));
    EXPECT_EQ(callsOf("mkdir"),
              (std::vector<Call>{{"mkdir", "-p", trash}, {"mkdir", "-p", trash}}));
    EXPECT_EQ(
        callsOf("mv"),
        (std::vector<Call>{
            {"mv", paths_.appDirs[0] + "/" + bundle,
             trash + "/" + hostile + " (old " + kStamp + ").app"},
            {"mv", paths_.appDirs[1] + "/-dash.app", trash + "/-dash (old " + kStamp + " 2).app"},
        }));
    EXPECT_EQ(callsOf("installer"),
              (std::vector<Call>{{"installer", "-pkg", package, "-target", "/"}}));

    // The bundles really went to the Trash under their dated names.
    EXPECT_TRUE(fs::is_directory(trash + "/" + hostile + " (old " + kStamp + ").app"));
    EXPECT_TRUE(fs::is_directory(trash + "/-dash (old " + kStamp + " 2).app"));
    EXPECT_FALSE(fs::exists(root_ / "Apps" / bundle));
}

TEST_F(ScriptRun, MoveAsideOnlyForBundlesThatExist) {
    fs::create_directories(root_ / "home/Applications/Here.app");
    std::ofstream(root_ / "Apps/File.app") << "not a bundle";

    auto result = run({{app({"Gone.app", "Here.app", "File.app"}), pkg("a.pkg")}});
    EXPECT_EQ(result.standardOutput, "OK:0\n");

    std::vector<std::string> order;
    for (const auto& call : calls()) order.push_back(call.front());
    EXPECT_EQ(order,
              (std::vector<std::string>{"rm", "pkill", "sleep", "mkdir", "mv", "installer", "rm"}));
    EXPECT_EQ(callsOf("sleep"), (std::vector<Call>{{"sleep", "1"}}));
    EXPECT_EQ(callsOf("mv").at(0).at(2), paths_.home + "/.Trash/Here (old " + kStamp + " 2).app");
    EXPECT_TRUE(fs::is_regular_file(root_ / "Apps/File.app"));
}

TEST_F(ScriptRun, EveryPackageReportsAndKeepsItsOwnOutput) {
    const std::vector<VerifiedPackage> packages = {
        {Json::object(), pkg("first.pkg")},
        {Json::object(), pkg("will-fail.pkg")},
        {Json::object(), pkg("third.pkg")},
    };
    auto result = run(packages);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");

    // A failing installer does not stop the ones after it.
    auto lines = outputLines(result.standardOutput);
    EXPECT_EQ(lines, (std::set<std::string>{"OK:0", "FAIL:1", "OK:2"}));
    EXPECT_EQ(callsOf("installer").size(), 3u);

    for (std::size_t i = 0; i < packages.size(); ++i) {
        auto output = readWholeFile(packageOutputPath(outputFolder_, i));
        ASSERT_TRUE(output) << i;
        EXPECT_EQ(*output,
                  "marker present\ninstalling " + packages[i].file.string() + "\ncomplaint\n");
    }
    // Nothing lands anywhere but the private folder, and the marker is gone afterwards.
    EXPECT_TRUE(fs::is_empty(paths_.tempFolder));
    EXPECT_EQ(std::distance(fs::directory_iterator(outputFolder_), fs::directory_iterator()), 3);
}

TEST_F(ScriptRun, LinkAtTheMarkerPathIsNeverFollowed) {
    // A link left there beforehand is removed, and the marker is a fresh file of its own.
    const fs::path victim = dir_ / "victim";
    fs::create_symlink(victim, marker_);
    auto result = run({{Json::object(), pkg("a.pkg")}});
    EXPECT_EQ(result.standardOutput, "OK:0\n");
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_FALSE(fs::exists(fs::symlink_status(marker_)));
    EXPECT_EQ(
        readWholeFile(packageOutputPath(outputFolder_, 0)).value_or("").rfind("marker present", 0),
        0u);

    // A link planted again between the removal and the creation (here by an "rm" that puts it
    // back): the shell's noclobber open neither creates nor truncates what it points to, whether
    // that exists or not.
    const fs::path kept = dir_ / "kept";
    std::ofstream(kept) << "keep me";
    for (const fs::path& target : {victim, kept}) {
        writeFake("rm", "for a in \"$@\"; do if [ \"$a\" = " + shellQuote(marker_) +
                            " ]; then /bin/rm -f \"$a\"; ln -s " + shellQuote(target.string()) +
                            " \"$a\"; fi; done\n");
        result = run({{Json::object(), pkg("a.pkg")}});
        EXPECT_EQ(result.standardOutput, "OK:0\n") << target;
        EXPECT_EQ(result.standardError, "") << target;
        EXPECT_TRUE(fs::is_symlink(marker_)) << target;
        EXPECT_EQ(readWholeFile(packageOutputPath(outputFolder_, 0))
                      .value_or("")
                      .rfind("marker missing", 0),
                  0u);
        fs::remove(marker_);
    }
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_EQ(readWholeFile(kept), "keep me");
}

}  // namespace
}  // namespace suite
