// The generated install script run by /bin/sh against fake tools that record every argument, in
// a root whose own name is hostile to a shell.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/Files.h"
#include "common/Process.h"
#include "fakes/TempDir.h"
#include "install/InstallLog.h"
#include "platform/macos/InstallScript.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using Call = std::vector<std::string>;  // the tool's name, then its arguments
using Calls = std::vector<Call>;

const std::string kStamp = "2026-12-05 07.30.12";

class ScriptRun : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* sub : {"bin", "tmp", "Apps", "home/Applications", "pkgs"})
            fs::create_directories(root_ / sub);
        ASSERT_EQ(::mkdir((root_ / "out").c_str(), 0700), 0);
        for (auto [field, name] : {std::pair{&InstallPaths::installer, "installer"},
                                   {&InstallPaths::pkill, "pkill"},
                                   {&InstallPaths::mkdir, "mkdir"},
                                   {&InstallPaths::mv, "mv"},
                                   {&InstallPaths::rm, "rm"},
                                   {&InstallPaths::sleep, "sleep"}})
            paths_.*field = (root_ / "bin" / name).string();
        paths_.tempFolder = (root_ / "tmp").string();
        paths_.appDirs = {(root_ / "Apps").string(), (root_ / "home/Applications").string()};
        paths_.home = (root_ / "home").string();
        marker_ = markerPath(paths_);
        writeFake("pkill", "exit 1\n");
        writeFake("sleep", "exit 0\n");
        for (const char* name : {"mkdir", "mv", "rm"})
            writeFake(name, std::string("exec /bin/") + name + " \"$@\"\n");
        // Fails if the package's name says "fail"; reports whether the marker is a regular file
        // (not a link) while it runs, and writes to both streams.
        writeFake("installer",
                  "if [ -f " + shellQuote(marker_) + " ] && [ ! -L " + shellQuote(marker_) +
                      " ]; then echo 'marker present'; else echo 'marker missing'; fi\n"
                      "printf 'installing %s\\n' \"$2\"\necho complaint >&2\n"
                      "case \"$2\" in *fail*) exit 1;; esac\n");
    }

    // A fake tool: records its name and arguments, NUL-terminated, then runs `body`.
    void writeFake(const std::string& name, const std::string& body) const {
        const fs::path path = root_ / "bin" / name;
        std::ofstream(path) << "#!/bin/sh\n{ printf '%s\\0' " << shellQuote(name)
                            << "; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; printf "
                               "'<end>\\0'; } >>"
                            << shellQuote((dir_ / "record").string()) << "\n"
                            << body;
        fs::permissions(path, fs::perms::owner_all);
    }

    Calls calls(const std::string& only = "") const {
        Calls out(1);
        const std::string data = readWholeFile(dir_ / "record").value_or("");
        for (std::size_t start = 0, end; (end = data.find('\0', start)) != std::string::npos;
             start = end + 1) {
            std::string token = data.substr(start, end - start);
            if (token != "<end>") {
                out.back().push_back(std::move(token));
            } else if (!only.empty() && out.back().front() != only) {
                out.back().clear();
            } else {
                out.emplace_back();
            }
        }
        out.pop_back();
        return out;
    }

    ProcessResult run(const std::vector<VerifiedPackage>& packages) const {
        ProcessOptions options;
        options.captureStandardError = true;
        options.timeoutSeconds = 30;
        options.environment = {{"SUITE_SENTINEL", (dir_ / "pwned").string()}};
        auto result = runProcess(
            "/bin/sh", {"-c", buildInstallScript(packages, paths_, out(), kStamp)}, options);
        EXPECT_TRUE(result && !result->timedOut);
        return result.value_or(ProcessResult{});
    }

    std::string out() const { return (root_ / "out").string(); }
    std::string outputOf(std::size_t i) const {
        return readWholeFile(packageOutputPath(out(), i)).value_or("");
    }
    std::string pkg(const std::string& name) const { return (root_ / "pkgs" / name).string(); }
    static Json app(std::vector<std::string> names) {
        return {{"group", "app"}, {"detect", {{"apps", std::move(names)}}}};
    }

    fakes::TempDir dir_;
    fs::path root_ = dir_ / "o'dd \"root\" $(false) `false` \\ dir";
    InstallPaths paths_;
    std::string marker_;
};

TEST_F(ScriptRun, HostileNamesReachTheToolsByteForByteAndEveryPackageReports) {
    // No "/" in it: bundle names with one are refused before they reach the script.
    const std::string hostile =
        "it's \"q\" $(touch \"$SUITE_SENTINEL\") `touch \"$SUITE_SENTINEL\"` ${HOME} \\n\\\\ "
        "\nnext\tline";
    const std::string bundle = hostile + ".app";
    fs::create_directories(root_ / "Apps" / bundle);
    fs::create_directories(root_ / "home/Applications/-dash.app");
    std::ofstream(root_ / "Apps/File.app") << "not a bundle";  // only folders are moved aside
    const std::vector<std::string> files = {pkg("-" + hostile + ".pkg"), pkg("will-fail.pkg"),
                                            pkg("third.pkg")};

    auto result = run({{app({bundle, "Gone.app", "-dash.app", "File.app"}), files[0]},
                       {Json::object(), files[1]}, {Json::object(), files[2]}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    // A failing installer does not stop the ones after it.
    EXPECT_EQ(outputLines(result.standardOutput), (std::set<std::string>{"OK:0", "FAIL:1", "OK:2"}));
    EXPECT_FALSE(fs::exists(dir_ / "pwned")) << "a command substitution ran";
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(outputOf(i), "marker present\ninstalling " + files[i] + "\ncomplaint\n") << i;
    // Nothing lands outside the private folder, and the marker is gone afterwards.
    EXPECT_TRUE(fs::is_empty(paths_.tempFolder));

    const std::string trash = paths_.home + "/.Trash";
    const std::string moved1 = trash + "/" + hostile + " (old " + kStamp + ").app";
    const std::string moved2 = trash + "/-dash (old " + kStamp + " 2).app";
    EXPECT_EQ(calls("pkill"), (Calls{{"pkill", "-x", "--", hostile}, {"pkill", "-x", "--", "-dash"}}));
    EXPECT_EQ(calls("mv"), (Calls{{"mv", paths_.appDirs[0] + "/" + bundle, moved1},
                                  {"mv", paths_.appDirs[1] + "/-dash.app", moved2}}));
    EXPECT_EQ(calls("installer").at(0), (Call{"installer", "-pkg", files[0], "-target", "/"}));
    std::vector<std::string> order;
    for (const auto& call : calls()) order.push_back(call.front());
    EXPECT_EQ(order, (std::vector<std::string>{"rm", "pkill", "sleep", "mkdir", "mv", "pkill", "sleep",
                                               "mkdir", "mv", "installer", "installer", "installer", "rm"}));
    EXPECT_TRUE(fs::is_regular_file(root_ / "Apps/File.app"));
    EXPECT_TRUE(fs::is_directory(moved1));
    EXPECT_TRUE(fs::is_directory(moved2));
}

TEST_F(ScriptRun, LinkAtTheMarkerPathIsNeverFollowed) {
    // A link left there beforehand is removed, and the marker is a fresh file of its own.
    const fs::path victim = dir_ / "victim";
    fs::create_symlink(victim, marker_);
    EXPECT_EQ(run({{Json::object(), pkg("a.pkg")}}).standardOutput, "OK:0\n");
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_FALSE(fs::exists(fs::symlink_status(marker_)));
    EXPECT_EQ(outputOf(0).rfind("marker present", 0), 0u);

    // A link planted between the removal and the creation (by an "rm" that puts it back): the
    // noclobber open neither creates nor truncates its target, whether that exists or not.
    const fs::path kept = dir_ / "kept";
    std::ofstream(kept) << "keep me";
    for (const fs::path& target : {victim, kept}) {
        writeFake("rm", "for a in \"$@\"; do if [ \"$a\" = " + shellQuote(marker_) +
                            " ]; then /bin/rm -f \"$a\"; ln -s " + shellQuote(target.string()) +
                            " \"$a\"; fi; done\n");
        auto result = run({{Json::object(), pkg("a.pkg")}});
        EXPECT_EQ(result.standardOutput, "OK:0\n") << target;
        EXPECT_EQ(result.standardError, "") << target;
        EXPECT_TRUE(fs::is_symlink(marker_)) << target;
        EXPECT_EQ(outputOf(0).rfind("marker missing", 0), 0u) << target;
        fs::remove(marker_);
    }
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_EQ(readWholeFile(kept), "keep me");
}

}  // namespace
}  // namespace suite
