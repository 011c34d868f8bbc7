#pragma once
// Text checks and conversions the program makes on bytes from outside (the network, the disk,
// other programs).
#include <cstddef>
#include <string>
#include <string_view>

namespace suite {

inline constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

struct Utf8Char {
    char32_t code;       // kInvalidCodePoint for a byte that does not start a well-formed sequence
    std::size_t length;  // bytes taken; 1 for an invalid byte
};

// The code point of `text` that starts at byte `at` (< text.size()). Well-formed means: no
// overlong forms, no surrogates, nothing above U+10FFFF.
Utf8Char decodeUtf8At(std::string_view text, std::size_t at);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

}  // namespace suite
