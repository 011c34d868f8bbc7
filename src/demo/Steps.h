#pragma once
// Reading a demo steps file: its lines, each line's command and argument, and the numbers the
// "wait" and "size" steps take.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace suite::demo {

// The lines of a steps file in order, cut at line feeds only; empty lines are dropped. A line of
// only blanks is kept (it is skipped when its turn comes). A carriage return that ends a line is
// part of the line ending, not of the step, so files saved with CR LF endings read the same; a
// byte-order mark at the very start is dropped for the same reason.
std::vector<std::string> splitStepLines(std::string_view text);

struct Step {
    std::string command;
    std::string argument;  // everything after the first space, kept as written
};

// Trims spaces and tabs at both ends and cuts the line at its first space. Nothing when the
// trimmed line is empty.
std::optional<Step> parseStep(std::string_view line);

// The value of `piece` when the whole piece, first character to last, is one floating-point
// numeral: decimal with optional sign, fraction and exponent, hexadecimal, inf, infinity or nan.
// The reading is the same whatever the process locale is. A piece that begins with white space,
// or is empty, is not a number.
std::optional<double> parseNumber(std::string_view piece);

// Seconds a "wait" step waits: its argument as a number, or 1 when it is not one.
double waitSeconds(std::string_view argument);

// Width and height of a "size" step: the argument cut at spaces, empty pieces and pieces that
// are not numbers dropped; exactly two numbers must remain.
std::optional<std::pair<double, double>> sizeArgument(std::string_view argument);

// Largest side a "size" step may ask for, in points; bigger than any display, small enough that
// every window system can hold it as an integer.
inline constexpr double kLargestContentSide = 16384;

// Whether a window can be given this content size: both sides finite, above zero and no larger
// than `kLargestContentSide`. "nan", "inf" and negative numbers are numbers, but not sizes.
bool isUsableContentSize(double width, double height);

}  // namespace suite::demo
