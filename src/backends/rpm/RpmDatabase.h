#pragma once
// What rpm has installed and what a package file says of itself, read with librpm in this
// process: one transaction set and one pass over the database for any number of names, no process
// started. Versions are written as rpm writes them: [EPOCH:]VERSION-RELEASE.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace suite::rpm {

// A package's header, as a package file or rpm's database holds it.
struct RpmHeader {
    std::string name, version, architecture;  // version as [EPOCH:]VERSION-RELEASE
    std::string headerDigest;                 // SHA-256 of the header, which names every file's
    std::vector<std::string> needs = {};  // of a package file: what it needs, rpm's own left out
};

// The headers of those of `names` that are installed in the database of the system under `root`
// (where rpm's configuration puts it); where several of one name are (multilib), the newest. A
// database that cannot be read answers nothing. Callable from any thread.
std::map<std::string, RpmHeader> installedHeaders(const std::set<std::string>& names,
                                                  const std::string& root = "/");
// Their versions alone.
std::map<std::string, std::string> installedVersions(const std::set<std::string>& names,
                                                     const std::string& root = "/");

// The file of rpm's database under `root` whose changes mean a package came or went; nothing
// when there is no database there.
std::optional<std::string> databaseFile(const std::string& root = "/");

// Whether `name` can be an RPM package name: 1 to 200 of ASCII letters, digits, "-", "_", "+"
// and ".", starting with a letter or digit. Names come from the catalog.
bool isRpmPackageName(std::string_view name);

// A package file's own header, read without checking its signature (its digest was checked
// against the vendor's signed catalog before).
std::optional<RpmHeader> readPackageFile(const std::string& path);

// Whether rpm on this machine installs packages built for `architecture` ("noarch" included).
bool machineTakes(const std::string& architecture);

}  // namespace suite::rpm
