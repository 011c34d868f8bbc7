#pragma once
// Checking that a document was signed by its publisher. The core only sees this declaration; the
// implementation comes from the host's crypto library.
#include <cstddef>
#include <string_view>

namespace suite {

inline constexpr std::size_t kEd25519PublicKeySize = 32;
inline constexpr std::size_t kEd25519SignatureSize = 64;

// True when `signature` (64 bytes) is an Ed25519 signature of exactly the bytes of `message` made
// with the private half of `publicKey` (32 raw bytes). False for anything else, keys and
// signatures of the wrong length included. Callable from any thread.
bool isEd25519Signature(std::string_view publicKey, std::string_view message,
                        std::string_view signature);

}  // namespace suite
