#include "demo/Steps.h"

#include <locale.h>
#include <stdlib.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

#include <cmath>

namespace suite::demo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// White space as strtod would skip it in the C locale.
bool isNumeralSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The "C" locale, made once: strtod on its own would read "1,5" as a number under a German
// locale and refuse "1.5", so the same steps file would play differently per user.
locale_t numeralLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

std::vector<std::string> splitStepLines(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!line.empty()) lines.emplace_back(line);
    }
    return lines;
}

std::optional<Step> parseStep(std::string_view line) {
    line = trimBlanks(line);
    if (line.empty()) return std::nullopt;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return Step{std::string(line), {}};
    return Step{std::string(line.substr(0, space)), std::string(line.substr(space + 1))};
}

std::optional<double> parseNumber(std::string_view piece) {
    if (piece.empty() || isNumeralSpace(piece.front())) return std::nullopt;
    const locale_t locale = numeralLocale();
    if (locale == static_cast<locale_t>(0)) return std::nullopt;
    // strtod needs a terminated string; an embedded NUL then ends the reading early and the
    // piece is refused below because it was not read whole.
    const std::string terminated(piece);
    char* end = nullptr;
    const double value = strtod_l(terminated.c_str(), &end, locale);
    if (end != terminated.c_str() + terminated.size()) return std::nullopt;
    // Out-of-range numerals still read as infinity or a tiny value, as the numeral says.
    return value;
}

double waitSeconds(std::string_view argument) {
    return parseNumber(argument).value_or(1.0);
}

std::optional<std::pair<double, double>> sizeArgument(std::string_view argument) {
    std::vector<double> numbers;
    while (!argument.empty()) {
        const std::size_t space = argument.find(' ');
        const std::string_view piece = argument.substr(0, space);
        argument.remove_prefix(space == std::string_view::npos ? argument.size() : space + 1);
        if (piece.empty()) continue;
        if (auto number = parseNumber(piece)) {
            numbers.push_back(*number);
            // A third number already decides the answer; no need to read the rest.
            if (numbers.size() > 2) return std::nullopt;
        }
    }
    if (numbers.size() != 2) return std::nullopt;
    return std::make_pair(numbers[0], numbers[1]);
}

bool isUsableContentSize(double width, double height) {
    const auto usable = [](double side) {
        return std::isfinite(side) && side > 0 && side <= kLargestContentSide;
    };
    return usable(width) && usable(height);
}

}  // namespace suite::demo
