#include "demo/Steps.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

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
    auto step = parseStep(" \t js document.title = 'a  b' \t ");
    ASSERT_TRUE(step);
    EXPECT_EQ(step->command, "js");
    EXPECT_EQ(step->argument, "document.title = 'a  b'");

    step = parseStep("wait  2");
    ASSERT_TRUE(step);
    EXPECT_EQ(step->command, "wait");
    EXPECT_EQ(step->argument, " 2");

    step = parseStep("quit");
    ASSERT_TRUE(step);
    EXPECT_EQ(step->command, "quit");
    EXPECT_EQ(step->argument, "");

    // A tab does not separate command and argument; case is kept.
    step = parseStep("JS\talert(1) x");
    ASSERT_TRUE(step);
    EXPECT_EQ(step->command, "JS\talert(1)");
    EXPECT_EQ(step->argument, "x");

    EXPECT_FALSE(parseStep(""));
    EXPECT_FALSE(parseStep(" \t \t"));
}

TEST(NumberReading, WholeNumeralsAreRead) {
    EXPECT_EQ(parseNumber("2"), 2.0);
    EXPECT_EQ(parseNumber("1e1"), 10.0);
    EXPECT_EQ(parseNumber("1E-1"), 0.1);
    EXPECT_EQ(parseNumber("0x10"), 16.0);
    EXPECT_EQ(parseNumber("0x1p3"), 8.0);
    EXPECT_EQ(parseNumber("+2"), 2.0);
    EXPECT_EQ(parseNumber("-0.5"), -0.5);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5.0);
    EXPECT_EQ(parseNumber("inf"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseNumber("-Infinity"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseNumber("1e999"), std::numeric_limits<double>::infinity());
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
    const char* commaLocale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            commaLocale = name;
            break;
        }
    }
    if (!commaLocale) GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

    const auto onePointFive = parseNumber("1.5");
    const auto oneCommaFive = parseNumber("1,5");
    const auto size = sizeArgument("1280.5 800,5 600");
    std::setlocale(LC_NUMERIC, previous.c_str());

    EXPECT_EQ(onePointFive, 1.5);
    EXPECT_FALSE(oneCommaFive);
    EXPECT_EQ(size, std::make_pair(1280.5, 600.0));
}

TEST(StepArguments, WaitTakesItsNumberOrOneSecond) {
    EXPECT_EQ(waitSeconds("2"), 2.0);
    EXPECT_EQ(waitSeconds("0.25"), 0.25);
    EXPECT_EQ(waitSeconds(""), 1.0);
    EXPECT_EQ(waitSeconds("two"), 1.0);
    EXPECT_EQ(waitSeconds(" 2"), 1.0);
    EXPECT_EQ(waitSeconds("2 3"), 1.0);
}

TEST(StepArguments, SizeTakesExactlyTwoNumbersAmongThePieces) {
    using Size = std::pair<double, double>;
    EXPECT_EQ(sizeArgument("1280 800"), Size(1280, 800));
    EXPECT_EQ(sizeArgument("  1280   800  "), Size(1280, 800));
    EXPECT_EQ(sizeArgument("abc 1280 x 800 px"), Size(1280, 800));
    EXPECT_EQ(sizeArgument("0x500 -1"), Size(1280, -1));
    EXPECT_FALSE(sizeArgument("1280"));
    EXPECT_FALSE(sizeArgument("1280 800 600"));
    EXPECT_FALSE(sizeArgument(""));
    EXPECT_FALSE(sizeArgument("1280x800"));
    // Only spaces separate the pieces.
    EXPECT_FALSE(sizeArgument("1280\t800"));
    EXPECT_FALSE(sizeArgument("1280,800"));
}

TEST(StepArguments, OnlyFiniteReasonableSidesAreUsableSizes) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(isUsableContentSize(1280, 800));
    EXPECT_TRUE(isUsableContentSize(0.5, kLargestContentSide));
    EXPECT_FALSE(isUsableContentSize(nan, 800));
    EXPECT_FALSE(isUsableContentSize(1280, inf));
    EXPECT_FALSE(isUsableContentSize(-1280, 800));
    EXPECT_FALSE(isUsableContentSize(1280, 0));
    EXPECT_FALSE(isUsableContentSize(1e10, 800));
    EXPECT_FALSE(isUsableContentSize(1280, std::nextafter(kLargestContentSide, inf)));
}

}  // namespace
}  // namespace suite::demo
