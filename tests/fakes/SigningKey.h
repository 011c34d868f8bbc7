#pragma once
// A fresh Ed25519 key pair, for tests that sign catalogs the way the vendor does.
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/Json.h"
#include "platform/Random.h"

namespace suite::fakes {

class SigningKey {
  public:
    SigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free) {}

    // Base64 of the 32 raw public bytes, as the build lists trusted keys.
    std::string publicKey() const {
        std::string raw(32, '\0');
        std::size_t length = raw.size();
        EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                    &length);
        return base64(raw);
    }

    // Base64 of the 64-byte signature of `message`, as a .sig file holds it.
    std::string sign(std::string_view message) const {
        std::string signature(64, '\0');
        std::size_t length = signature.size();
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
        EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key_.get());
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size());
        return base64(signature);
    }

  private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_;
};

// A catalog document as the trust check reads it: its two times and nothing else of note.
inline std::string catalogDocument(std::string_view generated, std::string_view expires) {
    return "{\"version\": 1, \"generated\": \"" + std::string(generated) + "\", \"expires\": \"" +
           std::string(expires) + "\", \"products\": []}";
}

// A package as a catalog offers it: product id, sha256, size.
using PackageOffer = std::tuple<std::string, std::string, std::uintmax_t>;

// A catalog document, current for years, that offers these packages of `kind` ("deb", "rpm"); a
// product offered more than once has a list of packages, as for several architectures.
inline std::string packageCatalog(const std::vector<PackageOffer>& offered,
                                  const std::string& kind = "deb") {
    Json packages = Json::object();
    for (const auto& [id, sha256, size] : offered)
        packages[id].push_back(
            {{"arch", kind == "deb" ? "all" : "noarch"}, {"sha256", sha256}, {"size", size}});
    Json products = Json::array();
    for (const auto& [id, list] : packages.items())
        products.push_back({{"id", id}, {"packages", {{kind, list.size() == 1 ? list[0] : list}}}});
    return Json({{"generated", "2026-01-01T00:00:00Z"},
                 {"expires", "2099-01-01T00:00:00Z"},
                 {"products", products}})
        .dump();
}

}  // namespace suite::fakes
