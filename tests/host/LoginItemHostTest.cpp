// The autostart entry as the desktop reads it: GLib's own GDesktopAppInfo loads it and starts the
// program it names, with "--background", whatever the program's path holds.
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "host/HostApp.h"
#include "notify/LoginItem.h"
#include "platform/Files.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

TEST(LoginItemEntry, GLibLoadsItAndStartsTheProgramInTheBackground) {
    fakes::TempDir dir;
    for (const std::string folder : {"plain", "my apps 100% %d $HOME \"q\" `b` back\\slash"}) {
        const fs::path program = dir / folder / "talven-suite";
        const fs::path said = dir / (folder.substr(0, 5) + ".args");
        fs::create_directories(program.parent_path());
        fakes::writeScript(program, "printf '%s\\n' \"$0\" \"$@\" > '" + said.string() + "'\n");

        const auto entry = autostartEntry(program.string());
        ASSERT_TRUE(entry) << folder;
        const fs::path file = dir / "entry.desktop";
        ASSERT_TRUE(writeFileAtomically(file, *entry));
        GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(file.c_str());
        ASSERT_NE(info, nullptr) << "GLib does not load the entry for " << folder << ":\n"
                                 << *entry;
        GError* error = nullptr;
        EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error))
            << (error != nullptr ? error->message : "");
        g_clear_error(&error);
        g_object_unref(info);

        EXPECT_TRUE(spinUntil([&] { return readWholeFile(said).value_or("").ends_with("\n"); }));
        EXPECT_EQ(readWholeFile(said).value_or(""), program.string() + "\n--background\n")
            << folder;
    }
}

}  // namespace
}  // namespace suite::gtk
