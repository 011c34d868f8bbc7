// A catalog and its signature file as any server might send them. Unsigned bytes are refused
// for their signature whatever they hold; a document signed with a trusted key is judged only by
// its "generated" and "expires", and times that read back must write the same.
#include <openssl/evp.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "catalog/CatalogTrust.h"
#include "fuzz/FuzzInput.h"
#include "platform/Random.h"

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// A fixed key of the fuzzer's own, so it can sign whatever it makes up.
EVP_PKEY* signingKey() {
    static const unsigned char seed[32] = {7};
    static std::unique_ptr<EVP_PKEY, KeyFree> key(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, sizeof seed));
    return key.get();
}

std::string publicKey() {
    unsigned char raw[32];
    std::size_t length = sizeof raw;
    EVP_PKEY_get_raw_public_key(signingKey(), raw, &length);
    return suite::base64(std::string(reinterpret_cast<char*>(raw), length));
}

std::string sign(const std::string& document) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char signature[64];
    std::size_t length = sizeof signature;
    EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, signingKey());
    EVP_DigestSign(ctx.get(), signature, &length,
                   reinterpret_cast<const unsigned char*>(document.data()), document.size());
    return suite::base64(std::string(reinterpret_cast<char*>(signature), length));
}

std::string utc(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using suite::fuzz::require;
    if (size == 0) return 0;
    const auto parts = suite::fuzz::pieces(data + 1, size - 1, 2);
    const std::string& document = parts[0];
    suite::CatalogTrust trust({publicKey(), "not a key"}, "", [] { return 1796455812; });
    if (data[0] % 2 == 0) {
        // Bytes nobody signed with a trusted key.
        require(trust.admit(document, parts[1]) == suite::CatalogRefusal::Signature,
                "unsigned documents are refused for their signature");
    } else {
        require(trust.admit(document, sign(document)) != suite::CatalogRefusal::Signature,
                "a signed document passes its signature check");
    }
    if (auto seconds = suite::parseUtcTime(parts[1])) {
        require(utc(*seconds) == parts[1], "a time that reads back writes the same");
    }
    return 0;
}
