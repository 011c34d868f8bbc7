#include "install/SystemPackages.h"

#include <string>
#include <vector>

#include "platform/Files.h"

namespace suite {

namespace {

// The value of `key` in os-release's shell-like "KEY=value" lines, its quotes taken off.
std::string valueOf(std::string_view text, std::string_view key) {
    std::string value;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.starts_with(key) || line.substr(key.size(), 1) != "=") continue;
        line.remove_prefix(key.size() + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') &&
            line.back() == line.front()) {
            line = line.substr(1, line.size() - 2);
        }
        value = std::string(line);  // the last assignment counts, as in a shell
    }
    return value;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    for (char c : text + ' ') {
        if (c != ' ' && c != '\t') {
            word += c;
        } else if (!word.empty()) {
            out.push_back(std::move(word));
            word.clear();
        }
    }
    return out;
}

PackageFamily familyOf(const std::string& id) {
    if (id == "debian" || id == "ubuntu") return PackageFamily::Debian;
    if (id == "fedora" || id == "rhel" || id == "centos") return PackageFamily::RpmDnf;
    if (id == "suse" || id == "sles" || id == "opensuse" || id.starts_with("opensuse-")) {
        return PackageFamily::RpmZypper;
    }
    return PackageFamily::None;
}

}  // namespace

PackageFamily packageFamilyFromOsRelease(std::string_view osRelease) {
    std::vector<std::string> names = {valueOf(osRelease, "ID")};
    for (auto& like : words(valueOf(osRelease, "ID_LIKE"))) names.push_back(std::move(like));
    for (const auto& name : names) {
        if (const PackageFamily family = familyOf(name); family != PackageFamily::None) {
            return family;
        }
    }
    return PackageFamily::None;
}

Installer installerFor(PackageFamily family, const SystemTools& present) {
    switch (family) {
        case PackageFamily::Debian:
        case PackageFamily::None:
            return present.dpkgDatabase ? Installer::Debian : Installer::None;
        case PackageFamily::RpmDnf:
            return present.rpmDatabase && present.dnf ? Installer::Rpm : Installer::None;
        case PackageFamily::RpmZypper:
            return present.rpmDatabase && present.zypper ? Installer::Rpm : Installer::None;
    }
    return Installer::None;
}

PackageFamily thisSystemsPackageFamily(const std::string& root) {
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        if (auto text = readWholeFile(root + "/" + file)) return packageFamilyFromOsRelease(*text);
    }
    return PackageFamily::None;
}

}  // namespace suite
