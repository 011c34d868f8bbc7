// Which download addresses and file names the install queue accepts. Lookalike hosts and names
// with a folder in them are the queue's own test's.
#include <gtest/gtest.h>

#include "download/DownloadPolicy.h"

namespace suite {
namespace {

constexpr const char* kVendor = "brenlow.example";

TEST(DownloadPolicy, HttpsOnTheVendorHostAndPlainHttpOnlyToAnAllowedLoopback) {
    EXPECT_TRUE(
        isAcceptableDownloadUrl("HTTPS://Downloads.Brenlow.Example:8443/a.pkg", kVendor, false));
    EXPECT_FALSE(isAcceptableDownloadUrl("https://brenlow.example/a.pkg", "", false));
    EXPECT_FALSE(isAcceptableDownloadUrl("http://brenlow.example/a.pkg", kVendor, true));
    EXPECT_FALSE(isAcceptableDownloadUrl("http://127.0.0.1:8080/a.pkg", "127.0.0.1", false));
    EXPECT_TRUE(isAcceptableDownloadUrl("http://127.0.0.1:8080/a.pkg", "127.0.0.1", true));
    // Loopback is not a pass on its own: the vendor host rule still holds.
    EXPECT_FALSE(isAcceptableDownloadUrl("http://127.0.0.1/a.pkg", kVendor, true));
}

TEST(DownloadPolicy, FileNamesStayInsideTheDownloadFolder) {
    EXPECT_TRUE(isAcceptableFileName("..pkg"));
    EXPECT_FALSE(isAcceptableFileName("."));
    EXPECT_FALSE(isAcceptableFileName(std::string_view("a\0.pkg", 6)));
}

}  // namespace
}  // namespace suite
