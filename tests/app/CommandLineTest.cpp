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

TEST(CommandLine, OnlyTheWaitingProgramsOneAnswerIsASwitch) {
    EXPECT_EQ(readCommandLine({"p", "--background", "--notification-answer=update"}).request,
              CommandLine::Request::Run);
    for (const char* other : {"--notification-answer=later", "--notification-answer="}) {
        EXPECT_EQ(readCommandLine({"p", other}).argument, other);
    }
}

}  // namespace
}  // namespace suite
