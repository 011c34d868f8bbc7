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

// A program `dir`/program that writes its arguments, one a line, to `dir`/said, and the desktop
// entry `id` that starts it (`more` ends its lines) in the user's applications folder.
void installRecorder(const fs::path& dir, const std::string& id, const std::string& more) {
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr) << "run under tests/with-display.sh, which gives the test its folders";
    std::ofstream(dir / "program")
        << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (dir / "said").string() << "'\n";
    fs::permissions(dir / "program", fs::perms::owner_all);
    fs::create_directories(fs::path(data) / "applications");
    std::ofstream(fs::path(data) / "applications" / id)
        << "[Desktop Entry]\nType=Application\nName=Recorder\n"
        << more << "Exec='" << (dir / "program").string() << "'" << (more.empty() ? "" : " %f")
        << "\n";
}

TEST(LaunchApplication, StartsTheProgramOfTheEntryTheCatalogNames) {
    fakes::TempDir dir;
    installRecorder(dir.path(), "com.brenlow.HostTestPresenter.desktop", "");
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

// The install log goes to the program the desktop chose for text, as a double click would send it.
TEST(OpenWithDefaultHandler, GivesTheInstallLogToTheDesktopsTextProgram) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(config) << "run under tests/with-display.sh";
    fakes::TempDir dir;
    installRecorder(dir.path(), "com.brenlow.HostTestReader.desktop",
                    "MimeType=text/plain;text/x-log;\n");
    const fs::path said = dir / "said", log = dir / "install.log";
    std::ofstream(log) << "2026-12-07T07:00:00Z run\n";
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
