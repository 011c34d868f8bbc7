#pragma once
// Text checks and conversions the program makes on bytes from outside (the network, the disk,
// other programs).
#include <string>
#include <string_view>

namespace suite {

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

}  // namespace suite
