// Handing things to the desktop through GIO: starting an installed product by its desktop entry,
// as the desktop's launcher does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "backends/debian/DebianPackageSystem.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "host/HostApp.h"
#include "hosts/gio/GioLauncher.h"
#include "platform/Files.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

// A program `dir`/program that writes its arguments, one a line, to `dir`/said, and the desktop
// entry `id` that starts it in the user's applications folder.
void installRecorder(const fs::path& dir, const std::string& id) {
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr) << "run under tests/with-display.sh, which gives the test its folders";
    fakes::writeScript(dir / "program",
                       "printf '%s\\n' \"$@\" > '" + (dir / "said").string() + "'\n");
    fs::create_directories(fs::path(data) / "applications");
    std::ofstream(fs::path(data) / "applications" / id)
        << "[Desktop Entry]\nType=Application\nName=Recorder\nExec='" << (dir / "program").string()
        << "'\n";
}

TEST(LaunchApplication, StartsTheProgramOfTheEntryTheCatalogNames) {
    fakes::TempDir dir;
    installRecorder(dir.path(), "com.brenlow.HostTestPresenter.desktop");
    const fs::path said = dir / "said";

    debian::DebianPackageSystem debian({});
    const auto entry =
        debian.applicationToLaunch({{"desktop", "com.brenlow.HostTestPresenter.desktop"}});
    ASSERT_TRUE(entry);
    GioLauncher launcher;
    // GIO learns of a new entry by watching the folder; give it the loop to notice.
    ASSERT_TRUE(spinUntil([&] { return launcher.launchApplication(*entry); }, 10));
    // Started with no arguments: one empty line.
    EXPECT_TRUE(spinUntil([&] { return readWholeFile(said).value_or("") == "\n"; }))
        << readWholeFile(said).value_or("(nothing)");
    EXPECT_FALSE(launcher.launchApplication("com.brenlow.NotInstalled.desktop"));
}

}  // namespace
}  // namespace suite::gtk
