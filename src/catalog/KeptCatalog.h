#pragma once
// The last catalog document that passed the trust check, kept with its signature in the
// program's state folder, so that it can be verified again where it is used: by the program at
// its next start (the list shown before a check answers) and by the root install helper, which
// installs only packages a vendor-signed document vouches for.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace suite {

inline constexpr std::string_view kKeptCatalogFileName = "catalog.json";
inline constexpr std::string_view kKeptSignatureFileName = "catalog.json.sig";

// Neither file is read past this size: the bound of a fetched catalog answer.
inline constexpr std::size_t kKeptCatalogMaxBytes = 32u << 20;

struct KeptCatalog {
    std::string document;       // the exact bytes that were fetched
    std::string signature;      // the signature file's text as fetched (Base64)
    std::int64_t keptAtMs = 0;  // when the document was written, in milliseconds since 1970
};

// Replaces the pair in `folder` (created when missing). Each file is replaced crash-safely, the
// document first: a crash between the two leaves a new document beside the old signature, a pair
// that fails the signature check and so counts as absent. Whether both were written.
bool keepCatalog(const std::filesystem::path& folder, std::string_view document,
                 std::string_view signature);

// The pair in `folder` as it is, unverified; nothing when either file is missing, unreadable or
// longer than kKeptCatalogMaxBytes.
std::optional<KeptCatalog> readKeptCatalog(const std::filesystem::path& folder);

}  // namespace suite
