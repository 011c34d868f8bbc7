#pragma once
// Splitting one fuzzer input into the few strings a target needs, and stopping at the first
// broken property with a message the fuzzer keeps beside the crashing input.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace suite::fuzz {

// The input cut at NUL bytes into at most `count` pieces (the last takes the rest).
inline std::vector<std::string> pieces(const unsigned char* data, std::size_t size,
                                       std::size_t count) {
    std::vector<std::string> out;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (out.size() + 1 < count) {
        const auto cut = rest.find('\0');
        if (cut == std::string_view::npos) break;
        out.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut + 1);
    }
    out.emplace_back(rest);
    out.resize(count);
    return out;
}

[[noreturn]] inline void broken(const char* property) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

inline void require(bool holds, const char* property) {
    if (!holds) broken(property);
}

inline int sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace suite::fuzz
