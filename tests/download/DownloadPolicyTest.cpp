// Which download addresses and file names the install queue accepts.
#include <gtest/gtest.h>

#include "download/DownloadPolicy.h"

namespace suite {
namespace {

constexpr const char* kVendor = "brenlow.example";

TEST(DownloadPolicy, HttpsOnTheVendorHostOrBelowIt) {
    EXPECT_TRUE(isAcceptableDownloadUrl("https://brenlow.example/a.pkg", kVendor, false));
    EXPECT_TRUE(isAcceptableDownloadUrl("https://downloads.brenlow.example/a.pkg", kVendor, false));
    EXPECT_TRUE(
        isAcceptableDownloadUrl("HTTPS://Downloads.Brenlow.Example:8443/a.pkg", kVendor, false));
    // The host check's own lookalikes are its table's; one shows it is applied here.
    EXPECT_FALSE(isAcceptableDownloadUrl("https://evilbrenlow.example/a.pkg", kVendor, false));
    EXPECT_FALSE(isAcceptableDownloadUrl("https:///a.pkg", kVendor, false));
    EXPECT_FALSE(isAcceptableDownloadUrl("brenlow.example/a.pkg", kVendor, false));
    EXPECT_FALSE(isAcceptableDownloadUrl("https://brenlow.example/a.pkg", "", false));
}

TEST(DownloadPolicy, PlainHttpOnlyToLoopbackAndOnlyWhenAllowed) {
    EXPECT_FALSE(isAcceptableDownloadUrl("http://brenlow.example/a.pkg", kVendor, false));
    EXPECT_FALSE(isAcceptableDownloadUrl("http://brenlow.example/a.pkg", kVendor, true));
    EXPECT_FALSE(isAcceptableDownloadUrl("ftp://brenlow.example/a.pkg", kVendor, true));

    EXPECT_FALSE(isAcceptableDownloadUrl("http://127.0.0.1:8080/a.pkg", "127.0.0.1", false));
    EXPECT_TRUE(isAcceptableDownloadUrl("http://127.0.0.1:8080/a.pkg", "127.0.0.1", true));
    // Loopback is not a pass on its own: the vendor host rule still holds.
    EXPECT_FALSE(isAcceptableDownloadUrl("http://127.0.0.1/a.pkg", kVendor, true));
}

TEST(DownloadPolicy, FileNamesStayInsideTheDownloadFolder) {
    EXPECT_TRUE(isAcceptableFileName("Suite.pkg"));
    EXPECT_TRUE(isAcceptableFileName("..pkg"));
    EXPECT_FALSE(isAcceptableFileName(""));
    EXPECT_FALSE(isAcceptableFileName("."));
    EXPECT_FALSE(isAcceptableFileName(".."));
    EXPECT_FALSE(isAcceptableFileName("sub/a.pkg"));
    EXPECT_FALSE(isAcceptableFileName("../a.pkg"));
    EXPECT_FALSE(isAcceptableFileName(std::string_view("a\0.pkg", 6)));
}

}  // namespace
}  // namespace suite
