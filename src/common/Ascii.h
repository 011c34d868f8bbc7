#pragma once
// Letter case the way protocols mean it: only A-Z and a-z, whatever the process locale (a
// Turkish locale would make std::tolower turn "I" into something else), every other byte as it
// is.
#include <string>
#include <string_view>

namespace suite {

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isAsciiLower(char c) {
    return c >= 'a' && c <= 'z';
}
constexpr bool isAsciiAlpha(char c) {
    return isAsciiLower(c) || (c >= 'A' && c <= 'Z');
}
constexpr bool isAsciiAlnum(char c) {
    return isAsciiAlpha(c) || isAsciiDigit(c);
}

// The value of a hexadecimal digit (either case), or -1 for any other byte.
constexpr int hexDigitValue(char c) {
    if (isAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text);

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace suite
