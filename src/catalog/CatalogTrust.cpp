#include "catalog/CatalogTrust.h"

#include <chrono>
#include <system_error>

#include "common/Json.h"
#include "platform/Files.h"
#include "platform/Random.h"
#include "platform/Signature.h"

namespace suite {

namespace {

// The digits of `text` from `at` on, `count` of them, as a number; nothing when one is not a digit.
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (char c : text.substr(at, count)) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The state file holds one short member; anything much longer is not ours.
constexpr std::size_t kStateFileMaxBytes = 4096;

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A member of the document that must be a UTC time.
std::optional<std::int64_t> timeMember(const Json& document, const std::string& key) {
    const auto text = stringMember(document, key);
    return text ? parseUtcTime(*text) : std::nullopt;
}

}  // namespace

const char* reasonName(CatalogRefusal refusal) {
    switch (refusal) {
        case CatalogRefusal::Signature:
            return "signature";
        case CatalogRefusal::Malformed:
            return "malformed";
        case CatalogRefusal::Rollback:
            return "rollback";
        case CatalogRefusal::Expired:
            return "expired";
        case CatalogRefusal::Future:
            return "future";
    }
    return "signature";
}

std::optional<std::int64_t> parseUtcTime(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    const auto year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2),
               day = digitsAt(text, 8, 2), hour = digitsAt(text, 11, 2),
               minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 59) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;
    const std::int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
    return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::int64_t systemSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

CatalogTrust::CatalogTrust(const std::vector<std::string>& keys, std::filesystem::path stateFile,
                           WallClock now)
    : stateFile_(std::move(stateFile)), now_(std::move(now)) {
    for (const auto& key : keys) {
        auto raw = fromBase64(key);
        if (raw && raw->size() == kEd25519PublicKeySize) keys_.push_back(std::move(*raw));
    }
    load();
}

bool CatalogTrust::isSigned(std::string_view document, std::string_view signature) const {
    const auto raw = fromBase64(trimmed(signature));
    if (!raw || raw->size() != kEd25519SignatureSize) return false;
    for (const auto& key : keys_) {
        if (isEd25519Signature(key, document, *raw)) return true;
    }
    return false;
}

Admission CatalogTrust::admit(const std::string& document,
                              const std::optional<std::string>& signature) {
    if (!signature || !isSigned(document, *signature)) return unexpected(CatalogRefusal::Signature);
    // Only the two members this side judges are read; the page reads the rest.
    const Json parsed = Json::parse(document, nullptr, false);
    const auto generated = timeMember(parsed, "generated");
    const auto expires = timeMember(parsed, "expires");
    if (!generated || !expires) return unexpected(CatalogRefusal::Malformed);
    if (*generated - now_() > kFutureToleranceSeconds) return unexpected(CatalogRefusal::Future);
    if (newest_ && *generated < *newest_) {
        return unexpected(CatalogRefusal::Rollback);
    }
    if (now_() >= *expires) return unexpected(CatalogRefusal::Expired);
    remember(*generated, *stringMember(parsed, "generated"));
    return {};
}

void CatalogTrust::load() {
    if (stateFile_.empty()) return;
    // A state file that cannot be read remembers nothing: the signature still guards.
    if (auto text = readWholeFile(stateFile_, kStateFileMaxBytes)) {
        newest_ = timeMember(Json::parse(*text, nullptr, false), "generated");
    }
    // Written by a version that took documents from the future: kept, that date would refuse
    // every later catalog as a rollback until the clock caught up with it.
    if (newest_ && *newest_ - now_() > kFutureToleranceSeconds) {
        newest_.reset();
        std::error_code ignored;
        std::filesystem::remove(stateFile_, ignored);
    }
}

void CatalogTrust::remember(std::int64_t generated, const std::string& text) {
    if (newest_ && *newest_ >= generated) return;
    newest_ = generated;
    if (stateFile_.empty()) return;
    std::error_code ignored;
    std::filesystem::create_directories(stateFile_.parent_path(), ignored);
    // A failed write keeps the time for this run; the next run is only guarded by what it read.
    writeFileAtomically(stateFile_, Json({{"generated", text}}).dump() + "\n");
}

}  // namespace suite
