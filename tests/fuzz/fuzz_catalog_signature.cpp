// A catalog and its signature file as any server might send them: unsigned bytes are refused for
// their signature whatever they hold, and a document signed with a trusted key is judged only by
// its times. How those times read is the trust test's.
#include "catalog/CatalogTrust.h"
#include "fakes/SigningKey.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using suite::fuzz::require;
    if (size == 0) return 0;
    static const suite::fakes::SigningKey key;
    const auto parts = suite::fuzz::pieces(data + 1, size - 1, 2);
    const std::string& document = parts[0];
    suite::CatalogTrust trust({key.publicKey(), "not a key"}, "", [] { return 1796455812; });
    if (data[0] % 2 == 0) {
        // Bytes nobody signed with a trusted key.
        const auto admitted = trust.admit(document, parts[1]);
        require(!admitted && admitted.error() == suite::CatalogRefusal::Signature,
                "unsigned documents are refused for their signature");
    } else {
        const auto admitted = trust.admit(document, key.sign(document));
        require(admitted || admitted.error() != suite::CatalogRefusal::Signature,
                "a signed document passes its signature check");
    }
    return 0;
}
