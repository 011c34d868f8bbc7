// Starting an installed product by its desktop entry, as the desktop's own launcher does: GIO
// finds the entry among the user's applications and runs its Exec line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "common/Files.h"
#include "fakes/TempDir.h"
#include "host/HostLoop.h"
#include "platform/debian/DebianPackageSystem.h"
#include "platform/gtk/GioLauncher.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

TEST(LaunchApplication, StartsTheProgramOfTheEntryTheCatalogNames) {
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr)
        << "run under tests/with-display.sh, which gives the test its own folders";
    fakes::TempDir dir;
    const fs::path program = dir / "presenter";
    const fs::path said = dir / "said";
    std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' started \"$@\" > '" << said.string()
                           << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    fs::create_directories(fs::path(data) / "applications");
    std::ofstream(fs::path(data) / "applications" / "com.brenlow.HostTestPresenter.desktop")
        << "[Desktop Entry]\nType=Application\nName=Presenter\nExec='" << program.string() << "'\n";

    debian::DebianPackageSystem debian({});
    const auto entry =
        debian.applicationToLaunch({{"desktop", "com.brenlow.HostTestPresenter.desktop"}});
    ASSERT_TRUE(entry);
    GioLauncher launcher;
    // GIO learns of a new entry by watching the folder; give it the loop to notice.
    ASSERT_TRUE(spinUntil([&] { return launcher.launchApplication(*entry); }, 10));
    EXPECT_TRUE(spinUntil([&] { return readWholeFile(said).value_or("") == "started\n"; }))
        << readWholeFile(said).value_or("(nothing)");
    EXPECT_FALSE(launcher.launchApplication("com.brenlow.NotInstalled.desktop"));
}

}  // namespace
}  // namespace suite::gtk
