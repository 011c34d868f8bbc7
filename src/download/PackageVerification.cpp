#include "download/PackageVerification.h"

#include "common/Utf8.h"
#include "platform/Digest.h"

namespace suite {

bool verifyPackage(const std::filesystem::path& file,
                   const std::optional<std::string>& expectedSha256) {
    if (!expectedSha256) return true;
    auto digest = sha256Of(file);
    return digest && *digest == lowerAscii(*expectedSha256);
}

}  // namespace suite
