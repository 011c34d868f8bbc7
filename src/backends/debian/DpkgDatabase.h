#pragma once
// What dpkg has installed: its database (the status file, plus the journal of changes not yet
// folded into it after an interrupted run) read with libapt-pkg's parser, one pass for any number
// of names, no process started. Reflects the disk at the moment of the call.
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace suite::debian {

inline constexpr const char* kDpkgAdminDir = "/var/lib/dpkg";

// The versions of those of `names` that are installed: the package is unpacked and configured
// without an error ("<want> ok installed"; a hold or a pending removal does not change that it is
// there). A database that cannot be read answers nothing. Callable from any thread.
std::map<std::string, std::string> installedVersions(const std::set<std::string>& names,
                                                     const std::string& adminDir = kDpkgAdminDir);

// Whether `name` can be a Debian package name (lower-case letters, digits, "+", "-", ".";
// at least two characters, starting with a letter or digit). Names come from the catalog.
bool isPackageName(std::string_view name);

// dpkg's order of versions: epoch, upstream version, revision; "~" before anything, even the
// end; letters before other characters. Negative, zero, positive.
int compareDebianVersions(std::string_view a, std::string_view b);

}  // namespace suite::debian
