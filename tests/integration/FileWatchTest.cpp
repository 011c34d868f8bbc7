// GIO's file monitor on a real file, as the package database is watched: a write and a
// replacement by rename (dpkg's way) are both heard, and nothing once the watch has gone.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "fakes/TempDir.h"
#include "host/HostApp.h"
#include "hosts/gio/GioFileWatcher.h"

namespace suite::gtk {
namespace {

TEST(GioFileWatcher, HearsAWriteAndAReplacementByRenameUntilTheWatchGoes) {
    fakes::TempDir dir;
    const auto status = dir / "status";
    std::ofstream(status) << "Package: a\n";
    int heard = 0;
    GioFileWatcher watcher;
    auto watch = watcher.watch(status.string(), [&] { ++heard; });
    ASSERT_TRUE(watch);

    std::ofstream(status, std::ios::app) << "Version: 1.0\n";
    EXPECT_TRUE(spinUntil([&] { return heard > 0; }, 5));

    spinFor(0.2);
    heard = 0;
    std::ofstream(dir / "status-new") << "Package: a\nVersion: 2.0\n";
    ASSERT_EQ(std::rename((dir / "status-new").c_str(), status.c_str()), 0);
    EXPECT_TRUE(spinUntil([&] { return heard > 0; }, 5)) << "the renamed file is watched too";

    watch.reset();
    spinFor(0.2);
    heard = 0;
    std::ofstream(status, std::ios::app) << "Status: gone\n";
    spinFor(1.0);
    EXPECT_EQ(heard, 0);
}

}  // namespace
}  // namespace suite::gtk
