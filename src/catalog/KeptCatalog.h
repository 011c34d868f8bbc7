#pragma once
// The last catalog document that passed the trust check, kept with its signature in the
// program's state folder, so that it can be verified again where it is used: by the program at
// its next start (the list shown before a check answers) and by the root install helper, which
// installs only packages a vendor-signed document vouches for.
#include <cstddef>
#include <string_view>

namespace suite {

inline constexpr std::string_view kKeptCatalogFileName = "catalog.json";
inline constexpr std::string_view kKeptSignatureFileName = "catalog.json.sig";

// Neither file is read past this size: the bound of a fetched catalog answer.
inline constexpr std::size_t kKeptCatalogMaxBytes = 32u << 20;

}  // namespace suite
