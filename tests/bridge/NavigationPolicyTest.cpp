#include "bridge/NavigationPolicy.h"

#include <string>

#include <gtest/gtest.h>

namespace suite {
namespace {

constexpr const char* kVendor = "brenlow.example";

TEST(NavigationPolicy, AllowsOnlyTheSuiteScheme) {
    for (const char* url : {"suite://app/index.html", "suite://other/x.html?y#z", "suite:"})
        EXPECT_TRUE(allowNavigation(url)) << url;
    for (const char* url :
         {"https://brenlow.example/", "file:///etc/passwd", "about:blank", "data:text/html,<p>x",
          "javascript:alert(1)", "blob:suite://app/1234", "suites://app/", "suit://app/",
          " suite://app/", "SUITE://app/", "suite", "//app/index.html", ""})
        EXPECT_FALSE(allowNavigation(url)) << url;
}

TEST(LinkToOpen, VendorHostAndSubdomainsAreHandedOverUnchanged) {
    for (const char* url :
         {"https://brenlow.example", "http://brenlow.example/help?a=1#b",
          "https://support.brenlow.example/kb/42", "https://brenlow.example:8443/x",
          "https://BRENLOW.Example/Help", "HTTPS://www.brenlow.example/"})
        EXPECT_EQ(linkToOpen(url, kVendor), url);
    EXPECT_EQ(linkToOpen("https://example.org/", "example.org"), "https://example.org/");
    EXPECT_FALSE(linkToOpen("https://brenlow.example/", "example.org"));
    EXPECT_FALSE(linkToOpen("https://brenlow.example/", ""));
}

TEST(LinkToOpen, RefusesOtherHostsTricksSchemesAndMissingHosts) {
    // Lookalike hosts and addresses a browser would read differently are the URL parser's and
    // host check's tables; here one of each reaches the link rule.
    for (const char* url :
         {"https://evilbrenlow.example/", "https://brenlow.example@evil.example/",
          "https://evil.example/?brenlow.example", "https://evil.example\\@brenlow.example/",
          "https:evil.example", "mailto:help@brenlow.example",
          "javascript://brenlow.example/%0aalert(1)", "file://brenlow.example/etc/passwd",
          "ftp://brenlow.example/", "suite://brenlow.example/", "https://", "https://user@/",
          "//brenlow.example/", ""})
        EXPECT_FALSE(linkToOpen(url, kVendor)) << url;
}

}  // namespace
}  // namespace suite
