// The generated install script run by /bin/sh against fake tools that record every argument, in
// a root whose own name is hostile to a shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "backends/macos/InstallScript.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "platform/Digest.h"
#include "platform/Files.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"

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
        for (auto [field, name] : {std::pair{&InstallPaths::installer, "installer"},
                                   {&InstallPaths::pkill, "pkill"},
                                   {&InstallPaths::mkdir, "mkdir"},
                                   {&InstallPaths::mv, "mv"},
                                   {&InstallPaths::rm, "rm"},
                                   {&InstallPaths::sleep, "sleep"},
                                   {&InstallPaths::cp, "cp"},
                                   {&InstallPaths::mktemp, "mktemp"},
                                   {&InstallPaths::shasum, "shasum"}})
            paths_.*field = (root_ / "bin" / name).string();
        paths_.tempFolder = (root_ / "tmp").string();
        paths_.appDirs = {(root_ / "Apps").string(), (root_ / "home/Applications").string()};
        paths_.home = (root_ / "home").string();
        marker_ = markerPath(paths_);
        writeFake("pkill", "exit 1\n");
        writeFake("sleep", "exit 0\n");
        for (const char* name : {"mkdir", "mv", "rm", "cp", "mktemp"})
            writeFake(name, std::string("exec /bin/") + name + " \"$@\"\n");
        writeFake("shasum", "shift 2\nexec /usr/bin/sha256sum \"$@\"\n");  // -a 256
        // Fails if the package says "fail"; reports whether the marker is a regular file (not a
        // link) while it runs, and writes to both streams.
        writeFake("installer",
                  "if [ -f " + shellQuote(marker_) + " ] && [ ! -L " + shellQuote(marker_) +
                      " ]; then echo 'marker present'; else echo 'marker missing'; fi\n"
                      "printf 'installing %s\\n' \"$(cat \"$2\")\"\necho complaint >&2\n"
                      "grep -q fail \"$2\" && exit 1\nexit 0\n");
    }

    // A fake tool: records its name and arguments, NUL-terminated, then runs `body`.
    void writeFake(const std::string& name, const std::string& body) const {
        fakes::writeScript(root_ / "bin" / name,
                           "{ printf '%s\\0' " + shellQuote(name) +
                               "; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; printf "
                               "'<end>\\0'; } >>" +
                               shellQuote((dir_ / "record").string()) + "\n" + body);
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
        auto result =
            runProcess("/bin/sh", {"-c", buildInstallScript(packages, paths_, kStamp)}, options);
        EXPECT_TRUE(result && !result->timedOut);
        return result.value_or(ProcessResult{});
    }

    // A package file with `content`, for an item whose catalog digest is that of `claimed`.
    VerifiedPackage package(InstallItem item, const std::string& name, const std::string& content,
                            const std::string& claimed) const {
        const fs::path file = root_ / "pkgs" / name;
        std::ofstream(root_ / "pkgs" / "claimed") << claimed;
        item.sha256 = *sha256Of(root_ / "pkgs" / "claimed");
        std::ofstream(file) << content;
        return {std::move(item), file};
    }
    static InstallItem app(std::vector<std::string> names) {
        return {.group = "app", .detect = {{"apps", std::move(names)}}};
    }

    fakes::TempDir dir_;
    fs::path root_ = dir_ / "o'dd \"root\" $(false) `false` \\ dir";
    InstallPaths paths_;
    std::string marker_;
};

TEST_F(ScriptRun, RootInstallsCheckedCopiesAndReportsEverythingOnItsOutput) {
    // No "/" in it: bundle names with one are refused before they reach the script.
    const std::string hostile =
        "it's \"q\" $(touch \"$SUITE_SENTINEL\") `touch \"$SUITE_SENTINEL\"` ${HOME} \\n\\\\ "
        "(.*)\nnext\tline";
    const std::string bundle = hostile + ".app";
    fs::create_directories(root_ / "Apps" / bundle);
    fs::create_directories(root_ / "Apps/Swapped.app");
    fs::create_directories(root_ / "home/Applications/-dash.app");
    std::ofstream(root_ / "Apps/File.app") << "not a bundle";  // only folders are moved aside

    const std::vector<VerifiedPackage> packages = {
        package(app({bundle, "Gone.app", "-dash.app", "File.app"}), "-" + hostile + ".pkg", "one",
                "one"),
        package({}, "will-fail.pkg", "fail", "fail"),
        package({}, "third.pkg", "three", "three"),
        // Changed after the program's own check: neither installed nor its app moved aside.
        package(app({"Swapped.app"}), "swapped.pkg", "evil", "good"),
        {{}, root_ / "pkgs" / "third.pkg"},  // no digest to check against
    };
    // A link left at the marker's place is removed, never followed: the marker is a file of its
    // own.
    fs::create_symlink(dir_ / "victim", marker_);
    auto result = run(packages);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(fs::exists(dir_ / "pwned")) << "a command substitution ran";
    EXPECT_FALSE(fs::exists(dir_ / "victim"));
    const auto report = readInstallerRecords(result.standardOutput, packages.size());
    // A failing installer does not stop the ones after it.
    EXPECT_EQ(report.resultLines, "OK:0\nFAIL:1\nOK:2\nCHECK:3\nCHECK:4\n");
    EXPECT_EQ(report.outputs[0], "marker present\ninstalling one\ncomplaint\n");
    // The copies' folder and the marker are gone afterwards.
    EXPECT_TRUE(fs::is_empty(paths_.tempFolder));

    const std::string trash = paths_.home + "/.Trash";
    const std::string moved1 = trash + "/" + hostile + " (old " + kStamp + ").app";
    const std::string moved2 = trash + "/-dash (old " + kStamp + " 2).app";
    EXPECT_EQ(calls("pkill"), (Calls{{"pkill", "-x", "--", exactProcessPattern(hostile)},
                                     {"pkill", "-x", "--", "-dash"}}));
    EXPECT_EQ(calls("mv"), (Calls{{"mv", paths_.appDirs[0] + "/" + bundle, moved1},
                                  {"mv", paths_.appDirs[1] + "/-dash.app", moved2}}));
    const Calls installs = calls("installer");
    ASSERT_EQ(installs.size(), 3u);
    EXPECT_TRUE(installs[0].at(2).ends_with("/0.pkg"));
    EXPECT_EQ(calls("cp").at(0), (Call{"cp", "--", packages[0].file.string(), installs[0].at(2)}));
    EXPECT_TRUE(fs::is_regular_file(root_ / "Apps/File.app"));
    EXPECT_TRUE(fs::is_directory(root_ / "Apps/Swapped.app"));
    EXPECT_TRUE(fs::is_directory(moved1));
    EXPECT_TRUE(fs::is_directory(moved2));
}

}  // namespace
}  // namespace suite
