// Handing things to the desktop through GIO: starting an installed product by its desktop entry,
// as the desktop's launcher does, and opening a file with the program the desktop chose for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "fakes/TempDir.h"
#include "host/HostLoop.h"
#include "platform/Files.h"
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

// The install log goes to the program the desktop chose for text, as a double click would send it.
TEST(OpenWithDefaultHandler, GivesTheInstallLogToTheDesktopsTextProgram) {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(data && config) << "run under tests/with-display.sh";
    fakes::TempDir dir;
    const fs::path program = dir / "reader", said = dir / "said", log = dir / "install.log";
    std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << said.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    std::ofstream(log) << "2026-12-07T07:00:00Z run\n";
    fs::create_directories(fs::path(data) / "applications");
    std::ofstream(fs::path(data) / "applications" / "com.brenlow.HostTestReader.desktop")
        << "[Desktop Entry]\nType=Application\nName=Reader\nMimeType=text/plain;text/x-log;\nExec='"
        << program.string() << "' %f\n";
    std::ofstream(fs::path(config) / "mimeapps.list")
        << "[Default Applications]\ntext/plain=com.brenlow.HostTestReader.desktop\n"
           "text/x-log=com.brenlow.HostTestReader.desktop\n";
    GioLauncher launcher;
    ASSERT_TRUE(
        spinUntil([&] { return launcher.openWithDefaultHandler(log.string()) != nullptr; }, 10));
    EXPECT_TRUE(spinUntil([&] { return readWholeFile(said).value_or("") == log.string() + "\n"; }))
        << readWholeFile(said).value_or("(nothing)");
}

}  // namespace
}  // namespace suite::gtk
