#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

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
    std::ofstream(dir / "taken") << "x";  // the folder's place is taken by a file
    appendInstallLog(dir / "taken", "lost", kMoment);
    appendInstallLog(dir / "taken/deeper", "lost", kMoment);
    EXPECT_EQ(readWholeFile(dir / "taken"), "x");

    // A link planted in the log's place, or in its folder's, is refused rather than followed.
    fs::create_directory(dir / "elsewhere");
    fs::create_directory(dir / "logs");
    fs::create_symlink(dir / "taken", dir / "logs" / kInstallLogName);
    fs::create_directory_symlink(dir / "elsewhere", dir / "linked");
    appendInstallLog(dir / "logs", "lost", kMoment);
    appendInstallLog(dir / "linked", "lost", kMoment);
    EXPECT_EQ(readWholeFile(dir / "taken"), "x");
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / kInstallLogName));

    // A FIFO in the log's place must not stall the caller; if it does, opening the reading end
    // releases the writer so the test fails instead of hanging.
    const fs::path fifo = dir / kInstallLogName;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto done = std::async(std::launch::async, [&] { appendInstallLog(dir.path(), "x", kMoment); });
    const bool returned = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) {
        int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        done.wait();
        ::close(reader);
    }
    EXPECT_TRUE(returned) << "appending blocked on a FIFO";
}

TEST(InstallLog, ConcurrentWritersNeverMixWithinALine) {
    fakes::TempDir dir;
    // Lines longer than any stdio buffer: written in pieces, they would interleave.
    const std::string a(20000, 'a'), b(20000, 'b');
    auto writer = [&](const std::string& body) {
        for (int i = 0; i < 200; ++i) appendInstallLog(dir.path(), body, kMoment);
    };
    std::thread first(writer, a), second(writer, b);
    first.join();
    second.join();
    std::istringstream lines(readWholeFile(dir / kInstallLogName).value_or(""));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        ASSERT_TRUE(line == kPrefix + a || line == kPrefix + b) << "line " << count << " is mixed";
    EXPECT_EQ(count, 400);
}

TEST(QuotedForLog, EscapesQuotesBackslashesAndControls) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"say \"hi\" it's\r\n\t", R"("say \"hi\" it\'s\r\n\t")"},
        {"C:\\dir", R"("C:\\dir")"},
        {std::string("nul\0end", 7), R"("nul\0end")"},
        {"\x1b\x1f\x7f", R"("\u{1b}\u{1f}\u{7f}")"},
        {"\xC2\x85|\xC2\x9F", R"("\u{85}|\u{9f}")"},
        // Printable text beyond ASCII, the line separator included, stays as it is.
        {"يريد ™ \xC2\xA0\xE2\x80\xA8", "\"يريد ™ \xC2\xA0\xE2\x80\xA8\""},
        // A byte that is not UTF-8 becomes the replacement character.
        {"a\xff"
         "b\xC2",
         "\"a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(quotedForLog(in), out) << in;
}

TEST(OutputLines, SplitAtEveryLineBreakAndTrimmed) {
    using Lines = std::set<std::string>;
    EXPECT_TRUE(outputLines(" \n\t\r\n").empty());
    // CR, LF, CRLF, U+000B, U+000C, U+0085, U+2028, U+2029 break lines; U+2027 does not.
    EXPECT_EQ(outputLines("A\r\nB\rC\x0B"
                          "D\x0C"
                          "E\xC2\x85"
                          "F\xE2\x80\xA8"
                          "G\xE2\x80\xA9"
                          "H\n"
                          "I\xE2\x80\xA7"
                          "J"),
              (Lines{"A", "B", "C", "D", "E", "F", "G", "H",
                     "I\xE2\x80\xA7"
                     "J"}));
    // Blanks, tabs and Unicode spaces go from both ends; inner ones stay.
    EXPECT_EQ(outputLines(" \tOK:3 \xC2\xA0\xE2\x80\x80\xE3\x80\x80\n\xE2\x80\x8A"
                          "a b\t"),
              (Lines{"OK:3", "a b"}));
    // Text that is not UTF-8 is split where it can be and does not break anything.
    EXPECT_EQ(outputLines("\xff OK:4\n\xE2\x80"), (Lines{"\xff OK:4", "\xE2\x80"}));
}

}  // namespace
}  // namespace suite
