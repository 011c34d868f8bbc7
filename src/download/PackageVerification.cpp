#include "download/PackageVerification.h"

#include "platform/Digest.h"

namespace suite {

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

bool verifyPackage(const std::filesystem::path& file,
                   const std::optional<std::string>& expectedSha256) {
    if (!expectedSha256) return true;
    auto digest = sha256Of(file);
    return digest && *digest == lowerAscii(*expectedSha256);
}

}  // namespace suite
