#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "common/Files.h"
#include "fakes/TempDir.h"
#include "install/InstallLog.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

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

const std::time_t kMoment = utc(2026, 12, 5, 7, 30, 12);

TEST(InstallLog, TimeStampIsUtcWithWholeSeconds) {
    EXPECT_EQ(logTimeStamp(kMoment), "2026-12-05T07:30:12Z");
    EXPECT_EQ(logTimeStamp(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(logTimeStamp(utc(2024, 2, 29, 23, 59, 59)), "2024-02-29T23:59:59Z");
}

TEST(InstallLog, LinesAreAppendedUnchangedInCallOrder) {
    fakes::TempDir dir;
    const fs::path folder = dir / "Logs/TALVEN Suite";
    const fs::path file = folder / kInstallLogName;

    appendInstallLog(folder, "installer: out=\"OK:0\\n\" err=\"\"", kMoment);
    ASSERT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(readWholeFile(file), "2026-12-05T07:30:12Z installer: out=\"OK:0\\n\" err=\"\"\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_write, fs::perms::none);

    // Newlines inside a message stay as they are: one time stamp, several physical lines.
    appendInstallLog(folder, "package 0: a\nb\r\n", kMoment);
    appendInstallLog(folder, "second in the same second", kMoment);
    EXPECT_EQ(readWholeFile(file),
              "2026-12-05T07:30:12Z installer: out=\"OK:0\\n\" err=\"\"\n"
              "2026-12-05T07:30:12Z package 0: a\nb\r\n\n"
              "2026-12-05T07:30:12Z second in the same second\n");
}

TEST(InstallLog, FailuresAreSwallowed) {
    fakes::TempDir dir;
    // The folder's place is taken by a file: nothing is written, nothing is thrown.
    std::ofstream(dir / "taken") << "x";
    appendInstallLog(dir / "taken", "lost", kMoment);
    appendInstallLog(dir / "taken/deeper", "lost", kMoment);
    EXPECT_EQ(readWholeFile(dir / "taken"), "x");

    // A FIFO in the log's place must not stall the caller. If it did, opening the reading end
    // releases the writer so the test fails instead of hanging.
    const fs::path fifo = dir / kInstallLogName;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto done = std::async(std::launch::async, [&] { appendInstallLog(dir.path(), "x", kMoment); });
    bool returned = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
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
    constexpr int kLines = 200;
    const std::string a(20000, 'a');
    const std::string b(20000, 'b');
    auto writer = [&](const std::string& body) {
        for (int i = 0; i < kLines; ++i) appendInstallLog(dir.path(), body, kMoment);
    };
    std::thread first(writer, a);
    std::thread second(writer, b);
    first.join();
    second.join();

    std::istringstream lines(readWholeFile(dir / kInstallLogName).value_or(""));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::string prefix = "2026-12-05T07:30:12Z ";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << "line " << count;
        const std::string body = line.substr(prefix.size());
        ASSERT_TRUE(body == a || body == b) << "line " << count << " is mixed";
    }
    EXPECT_EQ(count, 2 * kLines);
}

TEST(QuotedForLog, EscapesQuotesBackslashesAndControls) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", R"("")"},
        {"OK:0\n", R"("OK:0\n")"},
        {"say \"hi\" it's", R"("say \"hi\" it\'s")"},
        {"C:\\dir", R"("C:\\dir")"},
        {"a\r\n\tb", R"("a\r\n\tb")"},
        {std::string("nul\0end", 7), R"("nul\0end")"},
        {"\x1b[31m", R"("\u{1b}[31m")"},
        {"\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
        {"\xC2\x85|\xC2\x9F", R"("\u{85}|\u{9f}")"},
        // Printable text beyond ASCII, the line separator included, stays as it is.
        {"يريد ™ \xC2\xA0\xE2\x80\xA8", "\"يريد ™ \xC2\xA0\xE2\x80\xA8\""},
        // A byte that is not UTF-8 becomes the replacement character, keeping the log text.
        {"a\xff"
         "b\xC2",
         "\"a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(quotedForLog(c.in), c.out) << c.in;
}

TEST(OutputLines, SplitAtEveryLineBreakAndTrimmed) {
    EXPECT_TRUE(outputLines("").empty());
    EXPECT_TRUE(outputLines(" \n\t\r\n").empty());
    EXPECT_EQ(outputLines("OK:0\r\nFAIL:1\rOK:2\n"),
              (std::set<std::string>{"OK:0", "FAIL:1", "OK:2"}));

    // U+000B, U+000C, U+0085, U+2028, U+2029 break lines too.
    EXPECT_EQ(outputLines("A\x0B"
                          "B\x0C"
                          "C\xC2\x85"
                          "D\xE2\x80\xA8"
                          "E\xE2\x80\xA9"
                          "F"),
              (std::set<std::string>{"A", "B", "C", "D", "E", "F"}));
    // ...but a neighbour of the separators does not (U+2027).
    EXPECT_EQ(outputLines("A\xE2\x80\xA7"
                          "B"),
              (std::set<std::string>{"A\xE2\x80\xA7"
                                     "B"}));

    // Blanks, tabs and Unicode spaces go from both ends; inner ones stay.
    EXPECT_EQ(outputLines(" \tOK:3 \xC2\xA0\xE2\x80\x80\xE3\x80\x80\n\xE2\x80\x8A"
                          "a b\t"),
              (std::set<std::string>{"OK:3", "a b"}));

    // "OK:1" is a whole line, not a prefix of another one.
    auto lines = outputLines("OK:10\nOK:11\n");
    EXPECT_EQ(lines.count("OK:1"), 0u);

    // Text that is not UTF-8 is split where it can be and does not break anything.
    EXPECT_EQ(outputLines("\xff OK:4\n\xE2\x80"), (std::set<std::string>{"\xff OK:4", "\xE2\x80"}));
}

}  // namespace
}  // namespace suite
