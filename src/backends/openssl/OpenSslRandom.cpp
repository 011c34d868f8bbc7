// Random bytes and Base64 on OpenSSL.
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>

#include "common/Ascii.h"
#include "platform/Random.h"

namespace suite {

bool randomBytes(unsigned char* buffer, std::size_t size) {
    return size <= INT_MAX && RAND_bytes(buffer, static_cast<int>(size)) == 1;
}

std::string base64(std::string_view bytes) {
    std::string out;
    // EVP_EncodeBlock takes an int count; go in whole 3-byte groups so the pieces join cleanly.
    constexpr std::size_t kPiece = 3 * (1 << 20);
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, bytes.size() - at);
        const std::size_t old = out.size();
        out.resize(old + 4 * ((n + 2) / 3) + 1);
        const int wrote = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + old),
                                          reinterpret_cast<const unsigned char*>(bytes.data() + at),
                                          static_cast<int>(n));
        out.resize(old + static_cast<std::size_t>(wrote));
    }
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    // EVP_DecodeBlock skips blanks and takes padding as zero bits, so the text is judged here.
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    const auto isBase64Digit = [](char c) { return isAsciiAlnum(c) || c == '+' || c == '/'; };
    if (text.size() % 4 != 0 || text.size() > INT_MAX ||
        !std::all_of(text.begin(), text.end() - static_cast<std::ptrdiff_t>(padding),
                     isBase64Digit)) {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int wrote = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(text.data()),
                                      static_cast<int>(text.size()));
    if (wrote < 0 || static_cast<std::size_t>(wrote) != out.size()) return std::nullopt;
    out.resize(out.size() - padding);
    return out;
}

}  // namespace suite
