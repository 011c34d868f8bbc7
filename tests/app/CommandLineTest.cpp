#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace suite {
namespace {

TEST(CommandLine, HelpAndVersionAnswerAndAnythingElseIsRefusedInOrder) {
    using R = CommandLine::Request;
    struct Case {
        std::vector<std::string> arguments;
        R request;
        std::string argument;
    };
    const Case cases[] = {
        {{"talven-suite"}, R::Run, ""},
        {{"talven-suite", "--background", "--demo"}, R::Run, ""},
        {{"talven-suite", "--demo", "--help"}, R::Help, ""},
        {{"talven-suite", "-h"}, R::Help, ""},
        {{"talven-suite", "--version", "--bogus"}, R::Version, ""},
        // The first argument not understood decides, before a later --help.
        {{"talven-suite", "--bogus", "--help"}, R::Invalid, "--bogus"},
        {{"talven-suite", "--demo=1"}, R::Invalid, "--demo=1"},
        {{"talven-suite", ""}, R::Invalid, ""},
    };
    for (const auto& [arguments, request, argument] : cases) {
        const CommandLine line = readCommandLine(arguments);
        EXPECT_EQ(line.request, request) << arguments.back();
        EXPECT_EQ(line.argument, argument) << arguments.back();
    }
}

TEST(CommandLine, ComplaintIsOneLineWhateverTheArgumentHolds) {
    for (bool arabic : {false, true}) {
        const std::string text = invalidArgumentText(arabic, "--a\nb\x1b[31m");
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_NE(text.find("--help"), std::string::npos);
    }
}

}  // namespace
}  // namespace suite
