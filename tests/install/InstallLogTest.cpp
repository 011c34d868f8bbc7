#include <gtest/gtest.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "install/InstallLog.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
const std::time_t kMoment = 1796455812;  // 2026-12-05T07:30:12Z
const std::string kPrefix = "2026-12-05T07:30:12Z ";

TEST(InstallLog, LinesAreAppendedUnchangedInCallOrderAfterAUtcTimeStamp) {
    EXPECT_EQ(logTimeStamp(1709251199), "2024-02-29T23:59:59Z");
    fakes::TempDir dir;
    const fs::path folder = dir / "Logs/TALVEN Suite";
    appendInstallLog(folder, "out=\"OK:0\\n\"", kMoment);
    // Newlines inside a message stay as they are: one time stamp, several physical lines.
    appendInstallLog(folder, "package 0: a\nb\r\n", kMoment);
    appendInstallLog(folder, "second", kMoment);
    EXPECT_EQ(
        readWholeFile(folder / kInstallLogName),
        kPrefix + "out=\"OK:0\\n\"\n" + kPrefix + "package 0: a\nb\r\n\n" + kPrefix + "second\n");
    EXPECT_EQ(fs::status(folder / kInstallLogName).permissions() & fs::perms::others_write,
              fs::perms::none);
}

TEST(InstallLog, FailuresAreSwallowed) {
    fakes::TempDir dir;
    std::ofstream(dir / "taken") << "x";
    // A link planted in the log's place, or in its folder's, is refused rather than followed.
    fs::create_directory(dir / "elsewhere");
    fs::create_directory(dir / "logs");
    fs::create_symlink(dir / "taken", dir / "logs" / kInstallLogName);
    fs::create_directory_symlink(dir / "elsewhere", dir / "linked");
    appendInstallLog(dir / "logs", "lost", kMoment);
    appendInstallLog(dir / "linked", "lost", kMoment);
    EXPECT_EQ(readWholeFile(dir / "taken"), "x");
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / kInstallLogName));
}

TEST(QuotedForLog, EscapesQuotesBackslashesAndControls) {
    const std::pair<std::string, std::string> cases[] = {
        {"say \"hi\" it's\r\n\t", R"("say \"hi\" it\'s\r\n\t")"},
        {std::string("nul\0end", 7), R"("nul\0end")"},
        {"\x1b\x1f\x7f", R"("\u{1b}\u{1f}\u{7f}")"},
        // A byte that is not UTF-8 becomes the replacement character.
        {"a\xff"
         "b\xC2",
         "\"a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(quotedForLog(in), out) << in;
}

}  // namespace
}  // namespace suite
