#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace suite {
namespace {

TEST(CommandLine, ComplaintIsOneLineWhateverTheArgumentHolds) {
    for (bool arabic : {false, true}) {
        const std::string text = invalidArgumentText(arabic, "--a\nb\x1b[31m");
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_NE(text.find("--help"), std::string::npos);
    }
}

// The waiting program's one answer and D-Bus's service start are switches; nothing like them is.
TEST(CommandLine, OnlyTheWaitingProgramsOneAnswerAndTheServiceStartAreSwitches) {
    const auto run = readCommandLine({"p", "--background", "--notification-answer=update"});
    EXPECT_EQ(run.request, CommandLine::Request::Run);
    EXPECT_FALSE(run.service);
    const auto service = readCommandLine({"p", "--gapplication-service", "--background"});
    EXPECT_EQ(service.request, CommandLine::Request::Run);
    EXPECT_TRUE(service.service);
    for (const char* other : {"--notification-answer=later", "--notification-answer=",
                              "--gapplication-service=1", "--gapplication-app-id"}) {
        EXPECT_EQ(readCommandLine({"p", other}).argument, other);
    }
}

}  // namespace
}  // namespace suite
