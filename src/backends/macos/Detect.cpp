#include "backends/macos/Detect.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "backends/macos/PropertyList.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace suite {

namespace {

std::optional<std::string> readSmallFile(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxPlistBytes) return std::nullopt;
    return readWholeFile(path);
}

// Names come from the catalog, a document fetched over the network. One that is not a single
// path component would reach outside the application folders ("../../etc", "/", "..").
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384, '\0');
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == 0 && found != nullptr && found->pw_dir != nullptr) return found->pw_dir;
        // The size hint is only a hint; a long entry needs a larger buffer.
        if (error != ERANGE || buffer.size() >= (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

DetectPaths buildDefaultPaths() {
    DetectPaths paths;
    paths.appDirs.push_back("/Applications");
    // Without a home folder, a second entry would be "/Applications" again.
    if (std::string home = homeFolder(); !home.empty()) {
        paths.appDirs.push_back(home + "/Applications");
    }
    return paths;
}

}  // namespace

namespace Detect {

const DetectPaths& defaultPaths() {
    static const DetectPaths paths = buildDefaultPaths();
    return paths;
}

const std::vector<std::string>& appDirs() {
    return defaultPaths().appDirs;
}

std::optional<std::string> bundleVersion(const std::string& name, const DetectPaths& paths) {
    if (!isPlainName(name)) return std::nullopt;
    for (const auto& dir : paths.appDirs) {
        if (dir.empty()) continue;
        auto data = readSmallFile(dir + "/" + name + "/Contents/Info.plist");
        if (!data) continue;
        Plist info = parsePlistDictionary(*data);
        if (!info) continue;
        if (auto version = plistString(info, "CFBundleShortVersionString")) return version;
        if (auto version = plistString(info, "CFBundleVersion")) return version;
    }
    return std::nullopt;
}

std::optional<std::string> appPath(const std::string& name, const DetectPaths& paths) {
    if (!isPlainName(name)) return std::nullopt;
    for (const auto& dir : paths.appDirs) {
        if (dir.empty()) continue;
        std::string path = dir + "/" + name;
        std::error_code error;
        if (std::filesystem::exists(path, error)) return path;
    }
    return std::nullopt;
}

std::optional<std::string> receiptVersion(const std::string& identifier, const DetectPaths& paths) {
    // The identifier is the utility's last argument; one starting with "-" would be read as an
    // option instead.
    if (identifier.empty() || identifier.front() == '-') return std::nullopt;
    ProcessOptions options;
    options.outputLimit = kMaxPlistBytes;
    options.timeoutSeconds = paths.receiptTimeoutSeconds;
    auto run = runProcess(paths.pkgutil, {"--pkg-info-plist", identifier}, options);
    if (!run || run->exitStatus != 0 || run->truncated || run->timedOut) return std::nullopt;
    Plist receipt = parsePlistDictionary(run->standardOutput);
    if (!receipt) return std::nullopt;
    return plistString(receipt, "pkg-version");
}

std::optional<std::string> version(const std::string& /*group*/, const Json& detect,
                                   const DetectPaths& paths) {
    std::vector<std::string> apps = stringListMember(detect, "apps");
    if (!apps.empty()) {
        for (const auto& app : apps) {
            if (auto found = bundleVersion(app, paths)) return found;
        }
        return std::nullopt;
    }
    for (const auto& receipt : stringListMember(detect, "receipts")) {
        if (auto found = receiptVersion(receipt, paths)) return found;
    }
    return std::nullopt;
}

}  // namespace Detect

}  // namespace suite
