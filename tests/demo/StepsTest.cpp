#include "demo/Steps.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "fakes/CommaLocale.h"

namespace suite::demo {
namespace {

using Lines = std::vector<std::string>;

TEST(StepLines, CutAtLineFeedsAndDropEmptyLines) {
    EXPECT_EQ(splitStepLines("size 1 2\n\nwait 2\n\n\nquit"),
              (Lines{"size 1 2", "wait 2", "quit"}));
    EXPECT_EQ(splitStepLines("quit\n"), (Lines{"quit"}));
    EXPECT_EQ(splitStepLines("\n\n"), Lines{});
    EXPECT_EQ(splitStepLines(""), Lines{});
    // Blank lines stay: skipping them is the run's business.
    EXPECT_EQ(splitStepLines(" \t\nquit"), (Lines{" \t", "quit"}));
    // Vertical tab and form feed are not line ends.
    EXPECT_EQ(splitStepLines("js a\vb\fc"), (Lines{"js a\vb\fc"}));
}

TEST(StepLines, CarriageReturnLineEndsAndByteOrderMarkDoNotReachTheSteps) {
    EXPECT_EQ(splitStepLines("\xEF\xBB\xBFsize 1 2\r\n\r\nquit\r\n"), (Lines{"size 1 2", "quit"}));
    // Only the one that ends the line belongs to the line ending.
    EXPECT_EQ(splitStepLines("js 'a\rb'\r\r\n"), (Lines{"js 'a\rb'\r"}));
    // A mark anywhere else is text.
    EXPECT_EQ(splitStepLines("quit\n\xEF\xBB\xBFquit"), (Lines{"quit", "\xEF\xBB\xBFquit"}));
}

TEST(StepLine, CutAtTheFirstSpaceAfterTrimmingBlanks) {
    // A tab does not separate command and argument; case is kept.
    for (auto [line, command, argument] :
         {std::tuple{" \t js document.title = 'a  b' \t ", "js", "document.title = 'a  b'"},
          {"wait  2", "wait", " 2"}, {"quit", "quit", ""}, {"JS\talert(1) x", "JS\talert(1)", "x"}}) {
        auto step = parseStep(line);
        ASSERT_TRUE(step) << line;
        EXPECT_EQ(step->command, command);
        EXPECT_EQ(step->argument, argument);
    }
    EXPECT_FALSE(parseStep(""));
    EXPECT_FALSE(parseStep(" \t \t"));
}

TEST(NumberReading, WholeNumeralsAreRead) {
    const double inf = std::numeric_limits<double>::infinity();
    for (auto [text, value] : {std::pair{"2", 2.0}, {"1e1", 10.0}, {"1E-1", 0.1}, {"0x10", 16.0},
                               {"0x1p3", 8.0}, {"+2", 2.0}, {"-0.5", -0.5}, {".5", 0.5},
                               {"5.", 5.0}, {"inf", inf}, {"-Infinity", -inf}, {"1e999", inf}})
        EXPECT_EQ(parseNumber(text), value) << text;
    auto notANumber = parseNumber("nan");
    ASSERT_TRUE(notANumber);
    EXPECT_TRUE(std::isnan(*notANumber));
}

TEST(NumberReading, AnythingBesidesOneNumeralIsRefused) {
    for (const char* piece : {"", " 2", "\t2", "\n2", "2 ", "2\n", "1,5", "0x", "1e", "+", ".", "-",
                              "two", "2s", "1.2.3", "--1", "0x1g", "in", "nan nan"}) {
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

// How the run uses these (and "wait"'s fallback) is pinned by the run's own timing tests.
TEST(StepArguments, SizeTakesExactlyTwoNumbersAmongSpaceSeparatedPieces) {
    using Size = std::pair<double, double>;
    EXPECT_EQ(sizeArgument("  1280   800  "), Size(1280, 800));
    EXPECT_EQ(sizeArgument("abc 1280 x 800 px"), Size(1280, 800));
    for (const char* arg : {"1280 800 600", "1280\t800", "1280,800"}) EXPECT_FALSE(sizeArgument(arg)) << arg;
}

TEST(StepArguments, OnlyFiniteReasonableSidesAreUsableSizes) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(isUsableContentSize(1280, 800));
    EXPECT_TRUE(isUsableContentSize(0.5, kLargestContentSide));
    for (auto [w, h] : {std::pair{nan, 800.0}, {1280.0, inf}, {-1280.0, 800.0}, {1280.0, 0.0},
                        {1e10, 800.0}, {1280.0, std::nextafter(kLargestContentSide, inf)}})
        EXPECT_FALSE(isUsableContentSize(w, h)) << w << "x" << h;
}

}  // namespace
}  // namespace suite::demo
