#pragma once
// Whether a fetched catalog document may reach the page: the vendor signed exactly these bytes
// with one of the keys built into the program, it is no older than a document accepted before (a
// replayed old catalog could keep a security update from the user) and it has not expired (a
// server frozen on one catalog could do the same). A document dated well ahead of the local clock
// is refused too: remembered as the newest, it would refuse every honest catalog after it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Expected.h"

namespace suite {

// Why a document was refused; `reasonName` gives the "reason" the page receives.
enum class CatalogRefusal {
    Signature,  // no signature, or none of the trusted keys made it
    Malformed,  // signed, but without a readable "generated" and "expires"
    Rollback,   // older than a document accepted before
    Expired,    // past its "expires"
    Future,     // "generated" more than kFutureToleranceSeconds ahead of the local clock
};
const char* reasonName(CatalogRefusal refusal);

// Whether a document may be shown; when not, why.
using Admission = Expected<void, CatalogRefusal>;

// Seconds since 1970 for a UTC time written "YYYY-MM-DDTHH:MM:SSZ"; nothing for any other text
// (offsets, fractions of a second, lower-case letters) and for dates that do not exist.
std::optional<std::int64_t> parseUtcTime(std::string_view text);

// The current time in seconds since 1970, UTC; tests pass their own.
using WallClock = std::function<std::int64_t()>;
std::int64_t systemSeconds();

// The keys this executable was linked to trust (Base64 text): the vendor's in the program and
// its root helper, the test key too in test executables.
std::vector<std::string> builtInCatalogKeys();

// How far ahead of the local clock a document may be dated: clocks and time zones set by hand are
// often hours off, a day off is a wrong clock or a wrong document.
inline constexpr std::int64_t kFutureToleranceSeconds = 24 * 3600;

// The file in the program's state folder that keeps the newest "generated" accepted.
inline constexpr std::string_view kCatalogStateFileName = "catalog-state.json";

class CatalogTrust {
  public:
    // `keys`: Base64 of a raw 32-byte Ed25519 public key each; any of them may sign, and text that
    // is not such a key is ignored. `stateFile` keeps the newest "generated" accepted from one run
    // to the next (empty: for this run only); it is read here, and a date in it from the future
    // is dropped.
    CatalogTrust(const std::vector<std::string>& keys, std::filesystem::path stateFile,
                 WallClock now);

    // Judges `document` against the text of its signature file (nothing when there was none)
    // and, when it passes, remembers its "generated".
    Admission admit(const std::string& document, const std::optional<std::string>& signature);

    // Whether one of the keys made `signature` (the signature file's text) over exactly these
    // bytes; nothing else is judged, and nothing is remembered.
    bool isSigned(std::string_view document, std::string_view signature) const;

  private:
    void load();
    void remember(std::int64_t generated, const std::string& text);

    std::vector<std::string> keys_;  // raw bytes
    std::filesystem::path stateFile_;
    WallClock now_;
    std::optional<std::int64_t> newest_;
};

}  // namespace suite
