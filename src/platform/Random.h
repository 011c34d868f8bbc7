#pragma once
// Random bytes from the crypto library's generator (seeded by the kernel) and Base64 text. The
// core only sees these declarations; the implementations come from the host's crypto library.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace suite {

// Fills `buffer` with `size` unpredictable bytes; false when the generator failed.
bool randomBytes(unsigned char* buffer, std::size_t size);

// Standard Base64 with padding, no line breaks.
std::string base64(std::string_view bytes);

// The bytes of standard Base64 text with its padding and nothing else (no blanks or line
// breaks), or nothing for any other text.
std::optional<std::string> fromBase64(std::string_view text);

}  // namespace suite
