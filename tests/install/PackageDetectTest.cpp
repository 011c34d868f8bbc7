// How a Linux package system reads an item's "detect" object.
#include <gtest/gtest.h>

#include "install/PackageDetect.h"

namespace suite {
namespace {

// What "open" may start comes from the catalog: only a desktop file id, never a path or a command.
TEST(PackageDetect, OpenLaunchesOnlyADesktopFileIdTheCatalogNames) {
    EXPECT_EQ(desktopEntryOf({{"desktop", "com.brenlow.Presenter.desktop"}}),
              "com.brenlow.Presenter.desktop");
    for (const Json& detect :
         {Json{{"desktop", "../../bin/sh.desktop"}}, Json{{"desktop", "a.desktop --evil"}},
          Json{{"desktop", "-a.desktop"}}, Json{{"desktop", 7}}}) {
        EXPECT_EQ(desktopEntryOf(detect), std::nullopt) << detect.dump();
    }
}

}  // namespace
}  // namespace suite
