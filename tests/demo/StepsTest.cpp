#include "demo/Steps.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "fakes/CommaLocale.h"

namespace suite::demo {
namespace {

using Lines = std::vector<std::string>;

TEST(StepLines, CutAtLineEndsDroppingEmptyLinesCarriageReturnsAndTheByteOrderMark) {
    const std::pair<std::string, Lines> cases[] = {
        {"size 1 2\n\nwait 2\n\n\nquit", {"size 1 2", "wait 2", "quit"}},
        {"\n\n", {}},
        // Blank lines stay: skipping them is the run's business.
        {" \t\nquit", {" \t", "quit"}},
        {"\xEF\xBB\xBFsize 1 2\r\n\r\nquit\r\n", {"size 1 2", "quit"}},
        // A mark anywhere else is text.
        {"quit\n\xEF\xBB\xBFquit", {"quit", "\xEF\xBB\xBFquit"}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(splitStepLines(text), lines) << text;
}

TEST(NumberReading, ExactlyOneWholeNumeralIsRead) {
    const double inf = std::numeric_limits<double>::infinity();
    for (auto [text, value] : {std::pair{"1E-1", 0.1},
                               {"0x1p3", 8.0},
                               {"-0.5", -0.5},
                               {"-Infinity", -inf},
                               {"1e999", inf}})
        EXPECT_EQ(parseNumber(text), value) << text;
    auto notANumber = parseNumber("nan");
    ASSERT_TRUE(notANumber);
    EXPECT_TRUE(std::isnan(*notANumber));
    for (const char* piece : {"", " 2", "\n2", "\r2", "2 ", "1,5", "0x", "1e", "2s", "nan nan"}) {
        EXPECT_FALSE(parseNumber(piece)) << '"' << piece << '"';
    }
    const char withNul[] = {'2', '\0', '5'};
    EXPECT_FALSE(parseNumber(std::string_view(withNul, sizeof withNul)));
}

// Under a locale with a decimal comma the plain C reading would turn "1.5" into 1 and take
// "1,5"; a steps file must mean the same on every machine.
TEST(NumberReading, DoesNotFollowTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_TRUE(fakes::useDecimalCommaLocale()) << "no decimal-comma locale could be built";

    const auto onePointFive = parseNumber("1.5");
    const auto oneCommaFive = parseNumber("1,5");
    const auto size = sizeArgument("1280.5 800,5 600");
    std::setlocale(LC_NUMERIC, previous.c_str());

    EXPECT_EQ(onePointFive, 1.5);
    EXPECT_FALSE(oneCommaFive);
    EXPECT_EQ(size, std::make_pair(1280.5, 600.0));
}

}  // namespace
}  // namespace suite::demo
