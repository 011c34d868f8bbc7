// Ed25519 on OpenSSL's EVP interface. Ed25519 signs the message itself, not a digest of it, so
// the check is one EVP_DigestVerify over the whole document with no digest named.
#include <openssl/evp.h>

#include <memory>

#include "platform/Signature.h"

namespace suite {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

bool isEd25519Signature(std::string_view publicKey, std::string_view message,
                        std::string_view signature) {
    if (publicKey.size() != kEd25519PublicKeySize || signature.size() != kEd25519SignatureSize) {
        return false;
    }
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), publicKey.size()));
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!key || !ctx ||
        EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(ctx.get(), bytes(signature), signature.size(), bytes(message),
                            message.size()) == 1;
}

}  // namespace suite
