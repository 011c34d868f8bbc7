// The command lines between the program and the waiting program, and what the waiting program
// makes of what reaches it.
#include <gtest/gtest.h>

#include "notify/Waiting.h"

namespace suite {
namespace {

TEST(Waiting, CommandLinesReadBackExactlyAndNothingElseIsTaken) {
    const WaitingLine line{"/opt/a b/talven-suite", 1'700'000'000'123.5};
    const auto read = readWaitingArguments(waitingArguments("/w", line));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->program, line.program);
    EXPECT_EQ(read->wakeAtMs, line.wakeAtMs);
    EXPECT_EQ(readWaitingArguments(waitingArguments("/w", {"p", {}}))->wakeAtMs, std::nullopt);
    const std::vector<std::vector<std::string>> refused = {
        {"w"},
        {"w", "--wake-at", "5"},
        {"w", "--program", ""},
        {"w", "--program", "p", "--wake-at"},
        {"w", "--program", "p", "--wake-at", "nan"},
        {"w", "--program", "p", "--wake-at", "5x"},
        {"w", "--program", "p", "--demo", "1"},
    };
    for (const auto& line : refused) EXPECT_FALSE(readWaitingArguments(line)) << line.back();
}

TEST(Waiting, OnlyUpdateIsHandedOnAndLaterWakesNothing) {
    EXPECT_FALSE(programLineForAnswer("p", "later"));
    EXPECT_EQ(*programLineForAnswer("p", "update"),
              (std::vector<std::string>{"p", "--notification-answer=update"}));
    for (const char* other : {"", "update ", "--demo"}) {
        EXPECT_EQ(*programLineForAnswer("p", other), std::vector<std::string>{"p"}) << other;
    }
    EXPECT_EQ(secondsToNextLook(1'000, 990), 10);
    EXPECT_EQ(secondsToNextLook(100'000, 0), 600) << "a long wait is taken in steps";
    EXPECT_EQ(secondsToNextLook(0, 10), 0);
}

}  // namespace
}  // namespace suite
