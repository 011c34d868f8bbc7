#include "backends/debian/DpkgDatabase.h"
#include "common/Ascii.h"

#include <apt-pkg/debversion.h>
#include <apt-pkg/error.h>
#include <apt-pkg/fileutl.h>
#include <apt-pkg/tagfile.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace suite::debian {

namespace {

// "install ok installed", "hold ok installed", "deinstall ok installed": the last two words.
bool isInstalledStatus(std::string_view status) {
    const auto last = status.rfind(' ');
    if (last == std::string_view::npos) return false;
    const auto middle = status.rfind(' ', last - 1);
    if (middle == std::string_view::npos) return false;
    return status.substr(middle + 1) == "ok installed";
}

// One package of one architecture (a package can be installed for several) and its installed
// version, if any.
using Entries = std::map<std::pair<std::string, std::string>, std::optional<std::string>>;

// Reads every paragraph of `path`; a later paragraph for a package replaces an earlier one, as
// dpkg applies its journal over the status file.
void readParagraphs(const std::string& path, const std::set<std::string>& names, Entries& entries) {
    FileFd file;
    if (!file.Open(path, FileFd::ReadOnly)) return;
    pkgTagFile tags(&file);
    pkgTagSection section;
    while (tags.Step(section)) {
        std::string name = section.FindS("Package");
        if (!names.contains(name)) continue;
        auto& version = entries[{std::move(name), section.FindS("Architecture")}];
        version.reset();
        if (isInstalledStatus(section.Find("Status").to_string())) {
            version = section.FindS("Version");
        }
    }
}

// The journal's files are named by numbers and applied in that order.
std::vector<std::string> journalFiles(const std::string& adminDir) {
    std::vector<std::pair<unsigned long, std::string>> numbered;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(adminDir + "/updates", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (name.size() > 9) continue;
        numbered.emplace_back(std::stoul(name), entry.path().string());
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> files;
    for (auto& [number, path] : numbered) files.push_back(std::move(path));
    return files;
}

}  // namespace

std::map<std::string, std::string> installedVersions(const std::set<std::string>& names,
                                                     const std::string& adminDir) {
    std::map<std::string, std::string> found;
    if (names.empty()) return found;
    Entries entries;
    readParagraphs(adminDir + "/status", names, entries);
    for (const auto& journal : journalFiles(adminDir)) readParagraphs(journal, names, entries);
    // libapt-pkg keeps its errors on a per-thread stack; what went wrong here is already an
    // empty answer, and must not pile up on a long-lived thread.
    _error->Discard();
    for (auto& [key, version] : entries) {
        if (version) found.emplace(key.first, std::move(*version));
    }
    return found;
}

bool isPackageName(std::string_view name) {
    if (name.size() < 2) return false;
    const auto isLowerOrDigit = [](char c) { return isAsciiLower(c) || isAsciiDigit(c); };
    if (!isLowerOrDigit(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [&](char c) {
        return isLowerOrDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

int compareDebianVersions(std::string_view a, std::string_view b) {
    return debVS.DoCmpVersion(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
}

}  // namespace suite::debian
