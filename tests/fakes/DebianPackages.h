#pragma once
// Real Debian packages for the tests that install them, built with dpkg-deb.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/TestFiles.h"
#include "platform/Process.h"

namespace suite::fakes {

namespace fs = std::filesystem;

struct Deb {
    std::string name, version, depends, postinst = "", conflicts = "", arch = "all";
};

// A real Debian package built with dpkg-deb: one file under /opt/talven-test/<name>.
inline fs::path buildDeb(const fs::path& dir, const Deb& deb) {
    const fs::path root = dir / (deb.name + "-root");
    fs::create_directories(root / "DEBIAN");
    fs::create_directories(root / "opt" / "talven-test" / deb.name);
    std::ofstream(root / "opt" / "talven-test" / deb.name / "VERSION") << deb.version << "\n";
    std::ofstream(root / "DEBIAN" / "control")
        << "Package: " << deb.name << "\nVersion: " << deb.version << "\nArchitecture: " << deb.arch
        << "\nMaintainer: Tests <tests@brenlow.example>\n"
        << (deb.depends.empty() ? "" : "Depends: " + deb.depends + "\n")
        << (deb.conflicts.empty() ? "" : "Conflicts: " + deb.conflicts + "\n")
        << "Description: a package for the install tests\n";
    // dpkg-deb takes maintainer scripts only if everyone may read and run them.
    if (!deb.postinst.empty())
        fs::permissions(writeScript(root / "DEBIAN" / "postinst", deb.postinst + "\n"),
                        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        fs::perm_options::add);
    const fs::path file = dir / (deb.name + "_" + deb.version + "_" + deb.arch + ".deb");
    auto run = runProcess("/usr/bin/dpkg-deb", {"--build", "--root-owner-group", "-Zgzip",
                                                root.string(), file.string()});
    EXPECT_TRUE(run && run->exitStatus == 0) << deb.name;
    return file;
}

}  // namespace suite::fakes
