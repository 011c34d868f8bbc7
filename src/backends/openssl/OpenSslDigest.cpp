// SHA-256 on OpenSSL's EVP interface, which picks the CPU's SHA instructions when it has them.
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/Digest.h"

namespace suite {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

std::string lowerHex(const unsigned char* bytes, unsigned int length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(length * 2, '0');
    for (unsigned int i = 0; i < length; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0x0f];
    }
    return text;
}

}  // namespace

struct Sha256::State {
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx{EVP_MD_CTX_new()};
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) == 1;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

bool Sha256::add(const void* data, std::size_t size) {
    if (state_->ok) state_->ok = EVP_DigestUpdate(state_->ctx.get(), data, size) == 1;
    return state_->ok;
}

std::optional<std::string> Sha256::hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!state_->ok || EVP_DigestFinal_ex(state_->ctx.get(), digest, &length) != 1) {
        return std::nullopt;
    }
    state_->ok = false;
    return lowerHex(digest, length);
}

std::optional<std::string> sha256Of(const std::filesystem::path& path) {
    // O_NONBLOCK so that a FIFO planted under the name cannot hang the background thread; the
    // type check below then refuses it. It has no effect on reading a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    FdCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    Sha256 hash;
    std::vector<unsigned char> chunk(kChunkSize);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (!hash.add(chunk.data(), static_cast<std::size_t>(got))) return std::nullopt;
    }
    return hash.hex();
}

}  // namespace suite
