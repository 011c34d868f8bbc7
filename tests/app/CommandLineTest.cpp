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

// The script commands stand alone, each with its own switches only; --update names its products
// or says --all.
TEST(CommandLine, ScriptCommandsTakeOnlyTheirOwnSwitches) {
    const auto update = readCommandLine({"p", "--update", "a.b", "c", "-y"});
    EXPECT_EQ(update.request, CommandLine::Request::Update);
    EXPECT_EQ(update.ids, (std::vector<std::string>{"a.b", "c"}));
    EXPECT_TRUE(update.yes);
    EXPECT_TRUE(readCommandLine({"p", "--list", "--json"}).json);
    EXPECT_TRUE(readCommandLine({"p", "--update", "--all"}).all);
    const std::pair<std::vector<std::string>, std::string> misused[] = {
        {{"p", "--check", "--json"}, "--json"},
        {{"p", "--list", "--all"}, "--all"},
        {{"p", "--list", "--check"}, "--check"},
        {{"p", "--update"}, "--update"},
        {{"p", "--update", "a", "--all"}, "--all"},
        {{"p", "--background", "--list"}, "--background"},
        {{"p", "--check", "--yes"}, "--yes"},
    };
    for (const auto& [line, argument] : misused) {
        const auto read = readCommandLine(line);
        EXPECT_EQ(read.request, CommandLine::Request::Misused) << argument;
        EXPECT_EQ(read.argument, argument);
        EXPECT_NE(complaintText(false, read).find("\"" + argument + "\" does not go"),
                  std::string::npos);
    }
    EXPECT_EQ(readCommandLine({"p", "a", "--update"}).request, CommandLine::Request::Invalid);
}

}  // namespace
}  // namespace suite
