// The catalog trust check with the real Ed25519 verification, keys made for the test and a clock
// the test sets.
#include <gtest/gtest.h>

#include "catalog/CatalogTrust.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "platform/Files.h"

namespace suite {
namespace {

std::optional<CatalogRefusal> refusalOf(const Admission& admitted) {
    return admitted ? std::nullopt : std::optional(admitted.error());
}

using fakes::catalogDocument;
using fakes::SigningKey;

constexpr std::int64_t kDec6 = 1796551200;  // 2026-12-06T10:00:00Z, from Python's calendar
const std::string kDoc = catalogDocument("2026-12-06T10:00:00Z", "2026-12-20T10:00:00Z");

struct Trust : ::testing::Test {
    fakes::TempDir dir;
    SigningKey retired, current, stranger;
    std::int64_t now = kDec6;
    std::filesystem::path state = dir / "state" / "catalog-state.json";

    CatalogTrust make(std::filesystem::path file) {
        // Both listed keys may sign; text that is no key is ignored.
        return CatalogTrust({"not a key", retired.publicKey(), current.publicKey()},
                            std::move(file), [this] { return now; });
    }
    std::optional<CatalogRefusal> admit(CatalogTrust& trust, const std::string& doc) {
        return refusalOf(trust.admit(doc, current.sign(doc)));
    }
};

TEST_F(Trust, OnlyAListedKeysSignatureOverTheseExactBytesPasses) {
    std::string flipped = kDoc;
    flipped[10] ^= 1;
    const std::string good = current.sign(kDoc);
    const struct {
        const char* name;
        std::string document;
        std::optional<std::string> signature;
        bool passes;
    } cases[] = {
        {"current key", kDoc, good, true},
        {"the other listed key", kDoc, retired.sign(kDoc), true},
        {"a key not listed", kDoc, stranger.sign(kDoc), false},
        {"one flipped byte", flipped, good, false},
        {"no signature file", kDoc, std::nullopt, false},
    };
    for (const auto& c : cases) {
        auto trust = make({});
        const auto refusal = refusalOf(trust.admit(c.document, c.signature));
        EXPECT_EQ(refusal, c.passes ? std::nullopt : std::optional(CatalogRefusal::Signature))
            << c.name;
    }
}

TEST_F(Trust, TimesMustBeUtcToTheSecondOnRealDates) {
    EXPECT_EQ(parseUtcTime("2026-12-06T10:00:00Z"), kDec6);
    EXPECT_EQ(parseUtcTime("2024-02-29T23:59:59Z"), 1709251199);
    auto trust = make({});
    for (const char* bad : {"2023-02-29T10:00:00Z", "2026-13-01T10:00:00Z", "2026-12-06T24:00:00Z",
                            "2026-12-06T10:00:60Z", "2026-12-06T10:00:00+00:00", ""}) {
        EXPECT_EQ(parseUtcTime(bad), std::nullopt) << bad;
        // A signed document with such a time (or none) is refused, not read as never expiring.
        EXPECT_EQ(admit(trust, catalogDocument("2026-12-06T10:00:00Z", bad)),
                  CatalogRefusal::Malformed);
    }
}

TEST_F(Trust, RefusesADocumentOlderThanOneAcceptedAlsoInTheNextRunAndOnceExpired) {
    const std::string older = catalogDocument("2026-12-05T10:00:00Z", "2026-12-20T10:00:00Z");
    const std::string newer = catalogDocument("2026-12-06T10:00:01Z", "2026-12-20T10:00:00Z");
    {
        auto trust = make(state);
        EXPECT_EQ(admit(trust, older), std::nullopt);
        EXPECT_EQ(admit(trust, kDoc), std::nullopt);
        EXPECT_EQ(admit(trust, older), CatalogRefusal::Rollback);
    }
    auto nextRun = make(state);
    EXPECT_EQ(admit(nextRun, older), CatalogRefusal::Rollback);
    // Expired from the second "expires" names on.
    now = parseUtcTime("2026-12-20T09:59:59Z").value();
    EXPECT_EQ(admit(nextRun, newer), std::nullopt);
    now += 1;
    EXPECT_EQ(admit(nextRun, newer), CatalogRefusal::Expired);
    EXPECT_EQ(readWholeFile(state), "{\"generated\":\"2026-12-06T10:00:01Z\"}\n");
}

// A wrong clock or a wrong document must not lock out every honest catalog after it.
TEST_F(Trust, ADocumentMoreThanADayAheadIsRefusedAndNeverRecordedAndAStateFromTheFutureIsDropped) {
    const auto dated = [](const char* generated) {
        return catalogDocument(generated, "2027-01-20T10:00:00Z");
    };
    auto trust = make(state);
    EXPECT_EQ(admit(trust, dated("2026-12-07T10:00:01Z")), CatalogRefusal::Future);
    EXPECT_EQ(admit(trust, dated("2026-12-07T10:00:00Z")), std::nullopt) << "a day ahead";
    EXPECT_EQ(readWholeFile(state), "{\"generated\":\"2026-12-07T10:00:00Z\"}\n");
    EXPECT_STREQ(reasonName(CatalogRefusal::Future), "future");
    // As an earlier version could have left it.
    writeFileAtomically(state, R"({"generated":"2099-01-01T00:00:00Z"})");
    auto healed = make(state);
    EXPECT_FALSE(std::filesystem::exists(state)) << "dropped at start";
    EXPECT_EQ(admit(healed, kDoc), std::nullopt);
    EXPECT_EQ(readWholeFile(state), "{\"generated\":\"2026-12-06T10:00:00Z\"}\n");
}

}  // namespace
}  // namespace suite
