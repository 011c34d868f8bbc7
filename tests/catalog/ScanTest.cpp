#include <gtest/gtest.h>

#include "catalog/Scan.h"
#include "fakes/FakePackageSystem.h"

namespace suite {
namespace {

// The page takes every string in the map as an installed version, so the map must name each
// installed product once and nothing that is not installed.
TEST(Scan, MapNamesEachInstalledIdOnceWithWhateverVersionWasFound) {
    const struct {
        const char* what;
        std::vector<Json> items;
        std::map<std::string, std::string> installed;
        Json map;
    } cases[] = {
        {"duplicate ids", {{{"id", "a"}}, {{"id", "a"}}}, {{"a", "1.0"}}, {{"a", "1.0"}}},
        {"an id not installed", {{{"id", "a"}}, {{"id", "b"}}}, {{"b", "2"}}, {{"b", "2"}}},
        {"an item without an id",
         {{{"version", "9"}}, {{"id", "c"}}},
         {{"", "9"}, {"c", "3"}},
         {{"c", "3"}}},
        {"an empty version", {{{"id", "a"}}}, {{"a", ""}}, {{"a", ""}}},
        {"nothing installed", {{{"id", "a"}}}, {}, Json::object()},
    };
    for (const auto& c : cases) {
        fakes::FakePackageSystem packages;
        packages.installed = c.installed;
        EXPECT_EQ(scannedEvent(c.items, packages),
                  Json({{"type", "scanned"}, {"installed", c.map}}))
            << c.what;
    }
}

}  // namespace
}  // namespace suite
