#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "install/History.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

HistoryEntry entry(int n) {
    return {.time = 1796455800 + n,
            .id = std::string("p").append(std::to_string(n)),
            .from = "1",
            .to = "2",
            .kind = "deb",
            .result = "updated"};
}

std::vector<std::string> idsOf(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> ids;
    for (const auto& e : entries) ids.push_back(e.id);
    return ids;
}

ino_t inodeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(HistoryFile, KeepsEveryMemberAndListsNewestFirst) {
    fakes::TempDir dir;
    HistoryFile history(dir / "state/TALVEN Suite");
    EXPECT_TRUE(history.newestFirst().empty());
    HistoryEntry failed{.time = 5,
                        .id = "a",
                        .to = "3.0",
                        .kind = "rpm",
                        .result = "failed",
                        .error = "install",
                        .reason = "dependency",
                        .detail = "libx.so \"1\"\n"};
    ASSERT_TRUE(history.record(failed));
    ASSERT_TRUE(history.record(entry(1)));
    EXPECT_EQ(history.newestFirst(), (std::vector<HistoryEntry>{entry(1), failed}));
}

TEST(HistoryFile, StaysBoundedByCuttingToTheNewestInOneReplace) {
    fakes::TempDir dir;
    HistoryFile history(dir.path(), 3);
    for (int n = 0; n < 6; ++n) ASSERT_TRUE(history.record(entry(n)));
    // Appends reuse the file; only the cut replaces it, by a rename, never in place.
    const ino_t beforeCut = inodeOf(history.path());
    EXPECT_EQ(idsOf(history.newestFirst()),
              (std::vector<std::string>{"p5", "p4", "p3", "p2", "p1", "p0"}));
    ASSERT_TRUE(history.record(entry(6)));
    EXPECT_NE(inodeOf(history.path()), beforeCut);
    EXPECT_EQ(idsOf(history.newestFirst()), (std::vector<std::string>{"p6", "p5", "p4"}));
    const ino_t afterCut = inodeOf(history.path());
    ASSERT_TRUE(history.record(entry(7)));
    EXPECT_EQ(inodeOf(history.path()), afterCut);
    EXPECT_EQ(history.newestFirst().size(), 4u);
}

TEST(HistoryFile, ADamagedLineIsSkippedAndTheNextEntryNotGluedToIt) {
    fakes::TempDir dir;
    HistoryFile history(dir.path());
    ASSERT_TRUE(history.record(entry(1)));
    // A crash in the middle of an append, and lines nobody could read.
    std::ofstream(history.path(), std::ios::app) << "[1]\n{\"time\":\"x\",\"id\":\"q\"}\n{\"ti";
    EXPECT_EQ(idsOf(history.newestFirst()), std::vector<std::string>{"p1"});
    ASSERT_TRUE(history.record(entry(2)));
    EXPECT_EQ(idsOf(history.newestFirst()), (std::vector<std::string>{"p2", "p1"}));
}

TEST(HistoryFile, AFileTooLargeToBeOursIsReplacedNotGrown) {
    fakes::TempDir dir;
    HistoryFile history(dir.path());
    std::ofstream(history.path()) << std::string(9u << 20, 'x');
    ASSERT_TRUE(history.record(entry(1)));
    EXPECT_EQ(idsOf(history.newestFirst()), std::vector<std::string>{"p1"});
    EXPECT_LT(fs::file_size(history.path()), 200u);
}

// "kind:from>to result error/reason" of the entry a result event makes; "-" for none.
TEST(HistoryEntryFor, ResultEventsBecomeEntriesWithTheScannedFromVersion) {
    auto of = [](Json event) {
        event["type"] = event.value("type", "result");
        const auto e = historyEntryFor(event, {{"up", "1.0"}}, "2.0", "deb", 7);
        return e ? e->kind + ":" + e->from + ">" + e->to + " " + e->result + " " + e->error + "/" +
                       e->reason
                 : "-";
    };
    EXPECT_EQ(of({{"id", "new"}, {"ok", true}}), "deb:>2.0 installed /");
    EXPECT_EQ(of({{"id", "up"}, {"ok", false}, {"error", "download"}, {"reason", "timeout"}}),
              "deb:1.0>2.0 failed download/timeout");
    // The password dialog dismissed, and the user's own cancel.
    EXPECT_EQ(of({{"id", "up"}, {"ok", false}, {"error", "cancelled"}}),
              "deb:1.0>2.0 cancelled cancelled/");
    EXPECT_EQ(of({{"id", "up"}, {"ok", false}, {"error", "download"}, {"reason", "cancelled"}}),
              "deb:1.0>2.0 cancelled download/cancelled");
    EXPECT_EQ(of({{"type", "progress"}, {"id", "up"}, {"ok", true}}), "-");
    EXPECT_EQ(of({{"id", "up"}, {"ok", false}, {"error", "running"}}), "-");
    EXPECT_EQ(of({{"id", ""}, {"ok", false}}), "-");
}

}  // namespace
}  // namespace suite
